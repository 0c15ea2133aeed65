// How an exchange ended, in words: the one place of these texts. The client
// raises its failures with them, the monitor and the journal show them.
#pragma once

#include <string>

#include "exchangerecord.h"

// The outcome as the monitor and the journal show an exchange: "ответ", the
// device's error text, "нет ответа", "неверный ответ", "порт не открыт", or
// DamagedAnswerText.
std::string outcomeText(ExchangeOutcome outcome, int deviceError);
// A frame that began but did not decode; most often two actuators at one address.
inline constexpr const char* DamagedAnswerText =
    "повреждённый ответ (возможно, два привода с одним адресом)";
// The kind of outcome, as the monitor's filter lists it: "ответ", "ошибка
// устройства", "нет ответа", "неверный ответ", "порт не открыт", "повреждённый ответ".
const char* outcomeName(ExchangeOutcome outcome);
// The reason a failed exchange gives after "Ошибка команды <name>:":
// "Нет ответа на команду.", the device's error text, ...
std::string outcomeReason(ExchangeOutcome outcome, int deviceError);
