#pragma once
// Short names: the host file systems keep no 8.3 names, so a name's short name is its
// percent-encoded form when the long name holds a byte that is unsafe in a URL. Links
// made from short names work in every browser; the path mapper takes them back.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Blank, % # ? " ' < > &, control bytes and bytes from 0x80 on; and '*' and '\',
// which a request path takes as a wildcard and a separator.
bool IsUrlUnsafeByte(unsigned char byte);

// Every byte for which `encode` holds as "%XX" (upper-case hex); other bytes as they are.
std::string PercentEncodeWhere(std::string_view text, bool (*encode)(unsigned char byte));

// Every unsafe byte as "%XX" (upper-case hex); other bytes as they are.
std::string PercentEncodeUnsafe(std::string_view text);

// The encoded name when it differs from `longName`, else empty.
std::string ShortNameOf(std::string_view longName);

// The percent-decoded form of one path component, or nothing when it holds no valid
// escape or would decode to a name that must never be reached this way: empty, ".",
// "..", or holding '/' or NUL. A decoded '\' is part of the name, never a separator.
std::optional<std::string> DecodeShortName(std::string_view component);

// A name holding a backslash cannot be spelt in a drive-form path, whose separator it
// is: such a component keeps its encoded form there ("back%5Cslash.txt"), and the
// host mapping decodes it. Whether `component` is one of those.
bool StaysEncodedInDrivePaths(std::string_view component);

// A drive-form path component as a URL path component: encoded, unless it is a name
// kept encoded already.
std::string UrlOfComponent(std::string_view component);

}  // namespace platform
