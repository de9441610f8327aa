#pragma once
// mktime for the many time stamps of a file system's entries.

#include <ctime>

// std::mktime(&fields) with tm_isdst -1 as its answer for these fields
// (normalised as mktime does). Each thread remembers recent answers for the
// time zone TZ names, so entries sharing a stamp cost no zone lookup (glibc's
// mktime looks at the zone file on every call).
std::time_t LocalMktime(const std::tm& fields);
