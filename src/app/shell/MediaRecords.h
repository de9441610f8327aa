#pragma once
// What the media monitor makes of one block-device uevent: its properties
// parsed from a kernel message, whether it is an arrival, a removal or
// nothing (by the medium's size before and now), and the records posted
// with "RefreshAttachDevice" and "RefreshDetachDevice".

#include <QString>
#include <QVariantMap>

#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace shell {

using UeventProps = std::map<std::string, std::string>;

// A kernel uevent message: "action@devpath" then "KEY=VALUE" strings, each
// ending in a zero byte. Messages of udevd ("libudev" header) and anything
// without ACTION are refused (empty map). Bounded by `length`.
UeventProps ParseKernelUevent(const char* data, std::size_t length);

// The kernel name of the device ("sdb1", "loop0"); "" when there is none
// or it is not a plain name (no "/", "..", control characters).
std::string KernelName(const UeventProps& props);

enum class MediaChange { None, Arrived, Removed };

// An event of the "block" subsystem: "add" and "change" are arrivals when
// the medium now has a size it did not have (or a different one), "change"
// to size 0 is a removal (a loop device detached, a card taken out),
// "remove" is a removal of what was there. `before` is the size known
// before the event (none: not known), `now` the size read after it.
MediaChange ClassifyMediaEvent(const UeventProps& props, std::optional<long long> before, long long now);

// {"VolumePath": "/dev/NAME", "VolumeSize": bytes, "isDisk": whole disk}.
QVariantMap BuildArrivalRecord(const UeventProps& props, long long sizeBytes);
// {"USBPath": "/dev/NAME"}.
QVariantMap BuildRemovalRecord(const UeventProps& props);

}  // namespace shell
