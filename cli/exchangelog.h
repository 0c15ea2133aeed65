// -v: every exchange on stderr, one line each, decoded into named fields:
//   09:26:53.120 COM2 1 SetA A=200 Ia=1500 -> ответ 10.4 мс
//   09:26:53.131 COM2 1 GetA -> A=200 Ia=1500 ответ 9.8 мс
#pragma once

#include <string>

#include "exchangerecord.h"

std::string exchangeLine(const ExchangeRecord& record);
void printExchange(const ExchangeRecord& record);
