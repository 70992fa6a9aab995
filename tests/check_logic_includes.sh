#!/usr/bin/env bash
# Fails when a logic directory includes a POSIX, Linux or Qt header, directly or
# through a header of platform/ (whose headers must carry none: only its sources may).
set -u
top=$1
pattern='#[[:space:]]*include[[:space:]]*<(unistd|fcntl|poll|signal|dirent|netdb|pwd|spawn|syscall|termios|dlfcn|pthread)\.h>|#[[:space:]]*include[[:space:]]*<(sys|netinet|arpa|linux|asm)/|#[[:space:]]*include[[:space:]]*<Q[A-Za-z]*>|#[[:space:]]*include[[:space:]]*<Qt'
hits=$(grep -rnE "$pattern" "$top"/{core,request,pages,cgi,log,config,ui} "$top"/platform/*.h 2>/dev/null || true)
if [ -n "$hits" ]; then
  echo "system headers where the logic can see them:"
  echo "$hits"
  exit 1
fi
echo "logic directories include no system header"
