// One exchange in words, as the monitor shows it and the journal records it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exchangerecord.h"
#include "outcometext.h"

namespace service {

namespace exchangetext {

// outcomeText of the record's outcome.
std::string outcome(const ExchangeRecord& r);
// The frames the exchange skipped as not its answer: "пропущены чужие или
// запоздавшие ответы: от 2 (GetInfo)"; empty when there were none.
std::string skipped(const ExchangeRecord& r);
// The request's fields by name: "A=200 Ia=1500".
std::string request(const ExchangeRecord& r);
// The answer's fields by name; empty when the frame cannot be read as this
// command's answer (a wrong answer) or none came.
std::string answer(const ExchangeRecord& r);
// Fields as an operator reads them, from a command's name and its fields'
// text: a motion code with its button beside it ("MotionCode=5 (Открыть)"),
// SetM's extra value under the parameter it carries ("Vmin=80 Ia=1500").
// Other texts stay as they are.
std::string operatorValues(const std::string& command, const std::string& values);
// "C8 00 DC 05"
std::string hex(const std::vector<std::uint8_t>& bytes);
// Round trip in milliseconds with one decimal: "12.4".
std::string milliseconds(double ms);

}  // namespace exchangetext

}  // namespace service
