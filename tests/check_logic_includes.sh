#!/usr/bin/env bash
# Fails when a logic directory includes a POSIX, Linux or Qt header, directly or
# through a header of platform/ (whose headers must carry none: only its sources may).
inc='#[[:space:]]*include[[:space:]]*<'
pattern="$inc(unistd|fcntl|poll|signal|dirent|netdb|pwd|spawn|syscall|termios|dlfcn|pthread)\.h>|$inc(sys|netinet|arpa|linux|asm)/|$inc(Q[A-Za-z]*>|Qt)"
if grep -rnEs "$pattern" "$1"/{core,request,pages,cgi,log,config,ui} "$1"/platform/*.h | grep .; then
  echo "FAIL system headers where the logic can see them (above)"; exit 1
fi
echo "logic directories include no system header"
