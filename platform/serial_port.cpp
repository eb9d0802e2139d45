#include "platform/serial_port.h"

#include <cstring>

namespace kelvanor {

std::optional<int> baud_for_index(int baud_index) {
    static constexpr int kBauds[] = {9600, 14400, 19200, 38400, 57600, 115200};
    if (baud_index < 0 || baud_index >= 6) return std::nullopt;
    return kBauds[baud_index];
}

std::string describe_open_failure(std::string_view path, const SerialOpenResult& result) {
    std::string text(path);
    switch (result.status) {
        case SerialOpenStatus::Ok:
            return text + ": open";
        case SerialOpenStatus::NotFound:
            return text + ": no such device";
        case SerialOpenStatus::PermissionDenied:
            return "No permission to open " + text +
                   ".\nAdd the user to the group dialout and log in again.";
        case SerialOpenStatus::Busy:
            return text + " is in use by another program";
        case SerialOpenStatus::NotASerialPort:
            return text + " is not a serial port";
        case SerialOpenStatus::Failed:
            break;
    }
    return text + ": " + std::strerror(result.error_number);
}

}  // namespace kelvanor
