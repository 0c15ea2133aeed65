#include "exchangetablemodel.h"

#include <QBrush>
#include <QColor>

#include "exchangetext.h"
#include "isotime.h"

namespace {

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

}  // namespace

ExchangeTableModel::ExchangeTableModel(const service::ExchangeRing& ring, QObject* parent)
    : QAbstractTableModel(parent), ring_(ring), next_(ring.firstSeq())
{
}

void ExchangeTableModel::setFilter(const service::ExchangeFilter& filter)
{
    beginResetModel();
    filter_ = filter;
    rows_.clear();
    for (std::uint64_t s = ring_.firstSeq(); s < ring_.endSeq(); ++s)
        if (filter_.passes(*ring_.at(s)))
            rows_.push_back(s);
    next_ = ring_.endSeq();
    endResetModel();
}

bool ExchangeTableModel::sync()
{
    const std::uint64_t first = ring_.firstSeq();
    std::size_t lost = 0;
    while (lost < rows_.size() && rows_[lost] < first)
        ++lost;
    if (lost == rows_.size() && lost > 0) {
        beginResetModel();
        rows_.clear();
        endResetModel();
    } else if (lost > 0) {
        beginRemoveRows({}, 0, int(lost) - 1);
        rows_.erase(rows_.begin(), rows_.begin() + std::ptrdiff_t(lost));
        endRemoveRows();
    }
    next_ = std::max(next_, first);
    std::vector<std::uint64_t> fresh;
    for (; next_ < ring_.endSeq(); ++next_)
        if (filter_.passes(*ring_.at(next_)))
            fresh.push_back(next_);
    if (fresh.empty())
        return false;
    beginInsertRows({}, int(rows_.size()), int(rows_.size() + fresh.size()) - 1);
    rows_.insert(rows_.end(), fresh.begin(), fresh.end());
    endInsertRows();
    return true;
}

const service::LoggedExchange* ExchangeTableModel::entry(int row) const
{
    if (row < 0 || row >= int(rows_.size()))
        return nullptr;
    return ring_.at(rows_[std::size_t(row)]);
}

std::vector<const service::LoggedExchange*> ExchangeTableModel::entries() const
{
    std::vector<const service::LoggedExchange*> out;
    out.reserve(rows_.size());
    for (std::uint64_t s : rows_)
        if (const service::LoggedExchange* e = ring_.at(s))
            out.push_back(e);
    return out;
}

int ExchangeTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int ExchangeTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ExchangeTableModel::data(const QModelIndex& index, int role) const
{
    const service::LoggedExchange* e = entry(index.row());
    if (!e)
        return {};
    const ExchangeRecord& r = e->record;
    if (role == Qt::BackgroundRole) {
        if (r.outcome == ExchangeOutcome::Answer)
            return {};
        return QBrush(QColor(255, 225, 225));
    }
    if (role == Qt::TextAlignmentRole) {
        if (index.column() == Address || index.column() == RoundTrip)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Time: return text(service::localClockTime(e->wallStart));
    case Port: return text(r.port);
    case Address: return r.address;
    case Command: return text(r.name);
    case Request: return text(service::exchangetext::request(r));
    case Answer: return text(service::exchangetext::answer(r));
    case Outcome: return text(service::exchangetext::outcome(r));
    case RoundTrip:
        return text(service::exchangetext::milliseconds(
            std::chrono::duration<double, std::milli>(r.duration).count()));
    case RequestBytes: return text(service::exchangetext::hex(r.request));
    case AnswerBytes: return text(service::exchangetext::hex(r.answer));
    default: return {};
    }
}

QVariant ExchangeTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Time: return QStringLiteral("Время");
    case Port: return QStringLiteral("Порт");
    case Address: return QStringLiteral("Адрес");
    case Command: return QStringLiteral("Команда");
    case Request: return QStringLiteral("Запрос");
    case Answer: return QStringLiteral("Ответ");
    case Outcome: return QStringLiteral("Исход");
    case RoundTrip: return QStringLiteral("Обмен, мс");
    case RequestBytes: return QStringLiteral("Байты запроса");
    case AnswerBytes: return QStringLiteral("Байты ответа");
    default: return {};
    }
}
