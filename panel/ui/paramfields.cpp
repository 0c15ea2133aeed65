#include "paramfields.h"

#include "floatedit.h"
#include "ui_paramspage.h"

namespace {

struct KeyField {
    std::string_view key;
    TFloatEdit* Ui::ParamsPage::*field;
};

using P = Ui::ParamsPage;
constexpr KeyField Table[] = {
    {"Vmin", &P::feVm}, {"V1", &P::feV1}, {"I1", &P::feI1}, {"V2", &P::feV2}, {"I2", &P::feI2},
    {"V3", &P::feV3},   {"I3", &P::feI3}, {"V4", &P::feV4}, {"I4", &P::feI4}, {"A", &P::edA},
    {"Ia", &P::feIa},   {"Vp", &P::feVp}, {"Ip", &P::feIp}, {"Np", &P::feNp}, {"Vl", &P::feVl},
    {"Il", &P::feIl},   {"No", &P::feNo}, {"Nc", &P::feNc}, {"Nt", &P::feNt},
};

}  // namespace

TFloatEdit* ParamField(const Ui::ParamsPage& page, std::string_view key)
{
    for (const KeyField& k : Table)
        if (k.key == key)
            return page.*(k.field);
    return nullptr;
}

std::array<TFloatEdit*, paramfile::ParamCount> ParamFields(const Ui::ParamsPage& page)
{
    std::array<TFloatEdit*, paramfile::ParamCount> fields{};
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i] = ParamField(page, paramfile::ParamKeys[i].key);
    return fields;
}

int SentValue(const TFloatEdit* field)
{
    return static_cast<int>(paramfile::truncateValue(field->Value()));
}

service::ParamSet SentParams(const Ui::ParamsPage& page)
{
    service::ParamSet values{};
    const auto fields = ParamFields(page);
    for (std::size_t i = 0; i < fields.size(); ++i)
        values[i] = SentValue(fields[i]);
    return values;
}
