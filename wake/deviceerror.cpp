#include "deviceerror.h"

namespace wake {

const char* deviceErrorText(int code)
{
    static constexpr const char* Texts[7] = {
        "",
        "неправильный пакет.",
        "устройство занято.",
        "устройство не готово.",
        "неправильные параметры.",
        "устройство не отвечает.",
        "отсутствует несущая.",
    };
    if (code < 0 || code > 6)
        code = static_cast<int>(DeviceError::BadPacket);
    return Texts[code];
}

}  // namespace wake
