#pragma once
// The Date header's text: "Sat Dec 05 13:42:56 2026" and a line feed, in UTC.
#include <cstdint>

#include "core/FixedString.h"
#include "platform/Clock.h"

using DateTextBuffer = FixedString<32>;

DateTextBuffer FormatDateText(const platform::CivilTime& utc);
// The current time's text, made once per second.
const DateTextBuffer& CurrentDateText();
