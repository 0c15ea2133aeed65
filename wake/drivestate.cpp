#include "drivestate.h"

#include "codes.h"

namespace drivestate {

const char* text(int code)
{
    static const char* const texts[Count] = {
        "Привод остановлен",
        "Выполняется открытие",
        "Выполняется закрытие",
        "Выборка люфта на открытие",
        "Выборка люфта на закрытие",
        "Запирание на открытие",
        "Запирание на закрытие",
        "Блокировка открытия закончена",
        "Блокировка закрытия закончена",
        "Разблокировка на открытие",
        "Разблокировка на закрытие",
        "Калибровка рабочего хода на открытие",
        "Калибровка рабочего хода на закрытие",
    };
    return code >= 0 && code < Count ? texts[code] : nullptr;
}

const char* motionText(int code)
{
    switch (code) {
    case wake::CmdOpen: return "Открыть";
    case wake::CmdClose: return "Закрыть";
    case wake::CmdStop: return "Стоп";
    case wake::CmdStopOff: return "Стоп/откл.";
    }
    return nullptr;
}

std::string flagsText(int driveFlags)
{
    namespace flag = wake::flag;
    static constexpr struct {
        int bit;
        const char* name;
    } Names[] = {{flag::OpenCmd, "откр"},
                 {flag::CloseCmd, "закр"},
                 {flag::Limo, "LIMO"},
                 {flag::Limc, "LIMC"},
                 {flag::Pc, "PC"}};
    std::string out;
    for (const auto& n : Names)
        if (driveFlags & n.bit)
            out += out.empty() ? n.name : std::string(" ") + n.name;
    return out;
}

}  // namespace drivestate
