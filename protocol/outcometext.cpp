#include "outcometext.h"

#include "deviceerror.h"

std::string outcomeText(ExchangeOutcome outcome, int deviceError)
{
    switch (outcome) {
    case ExchangeOutcome::DeviceError: return wake::deviceErrorText(deviceError);
    case ExchangeOutcome::DamagedAnswer: return DamagedAnswerText;
    default: return outcomeName(outcome);
    }
}

const char* outcomeName(ExchangeOutcome outcome)
{
    switch (outcome) {
    case ExchangeOutcome::Answer: return "ответ";
    case ExchangeOutcome::DeviceError: return "ошибка устройства";
    case ExchangeOutcome::NoAnswer: return "нет ответа";
    case ExchangeOutcome::WrongAnswer: return "неверный ответ";
    case ExchangeOutcome::NoPort: return "порт не открыт";
    case ExchangeOutcome::DamagedAnswer: return "повреждённый ответ";
    }
    return "";
}

std::string outcomeReason(ExchangeOutcome outcome, int deviceError)
{
    switch (outcome) {
    case ExchangeOutcome::Answer: return {};
    case ExchangeOutcome::DeviceError: return wake::deviceErrorText(deviceError);
    case ExchangeOutcome::NoAnswer: return "Нет ответа на команду.";
    case ExchangeOutcome::WrongAnswer: return "Неверный ответ на команду.";
    case ExchangeOutcome::NoPort: return "Порт не открыт.";
    case ExchangeOutcome::DamagedAnswer:
        return "Повреждённый ответ на команду (возможно, два привода с одним адресом).";
    }
    return {};
}
