#include "operationrecorder.h"

#include <cstdio>

#include "commands.h"
#include "exchangetext.h"
#include "isotime.h"

namespace service {

OperationRecorder::OperationRecorder(const std::string& folder, std::uintmax_t rotateBytes)
    : journal_(folder, rotateBytes)
{
}

void OperationRecorder::observe(const ExchangeRecord& r)
{
    const wake::CommandInfo* entry = wake::findCommand(r.command);
    if (!entry)
        return;
    if (entry->command == wake::Command::GetInfo && r.outcome == ExchangeOutcome::Answer) {
        const auto values = wake::decodeAnswer(*entry, r.answer.data(), r.answer.size());
        if (!values.empty())
            types_[r.address] = values.front().text;
    }
    if (entry->changesDevice) {
        journal::Row row;
        row.port = r.port;
        row.address = r.address;
        row.type = typeOf(r.address);
        row.action = entry->name;
        row.values = exchangetext::request(r);
        row.result = r.outcome == ExchangeOutcome::Answer ? journal::Ok : exchangetext::outcome(r);
        append(std::move(row));
    }
    if (const auto stroke = strokes_.observe(r)) {
        lastStrokes_[stroke->address] = *stroke;
        journal::Row row;
        row.port = r.port;
        row.address = stroke->address;
        row.type = typeOf(stroke->address);
        row.action = stroke->open ? "StrokeOpen" : "StrokeClose";
        row.values = strokeValues(*stroke);
        row.result = journal::Ok;
        append(std::move(row));
        if (onStroke)
            onStroke(*stroke);
    }
}

void OperationRecorder::fileOperation(const char* action, const std::string& port, int address,
                                      const std::string& path, const std::string& error)
{
    journal::Row row;
    row.port = port;
    row.address = address;
    row.type = typeOf(address);
    row.action = action;
    row.values = path;
    row.result = error.empty() ? journal::Ok : error;
    append(std::move(row));
}

std::optional<Stroke> OperationRecorder::lastStroke(int address) const
{
    const auto it = lastStrokes_.find(address);
    if (it == lastStrokes_.end())
        return std::nullopt;
    return it->second;
}

std::string OperationRecorder::typeOf(int address) const
{
    const auto it = types_.find(address);
    return it == types_.end() ? std::string() : it->second;
}

void OperationRecorder::append(journal::Row row)
{
    row.time = isoLocalTimeMillis(WallClock::now());
    if (!source.empty())
        row.values += (row.values.empty() ? "source=" : " source=") + source;
    journal_.append(row);
    if (onRow)
        onRow(row);
}

std::string strokeValues(const Stroke& stroke)
{
    char text[48];
    std::snprintf(text, sizeof text, "seconds=%.1f", stroke.seconds);
    return text;
}

}  // namespace service
