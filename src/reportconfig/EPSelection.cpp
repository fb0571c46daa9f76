#include "reportconfig/EPSelection.h"

#include "calls/Globals.h"
#include "remote/Connections.h"
#include "remote/RemoteDataSet.h"
#include "remote/ServerInterface.h"
#include "reportconfig/StateLine.h"
#include "shell/base/ClientLogs.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

const char* const Context = "TEPSelection";
constexpr QChar GroupSeparator = QLatin1Char(';');

QString CodeRange(const QString& code, const QString& first, const QString& last)
{
    return QStringLiteral("(%1 between %2 and %3)").arg(code, SqlQuoted(first), SqlQuoted(last));
}

// Codes in the order the database compares them: the CALL columns use binary collation,
// and a range is only exact when its ends and the codes between them sort the same way.
void SortCodes(QStringList& codes)
{
    std::sort(codes.begin(), codes.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseSensitive) < 0; });
}

}  // namespace

// TEPItem

TEPItem::TEPItem(QString code, QString name, const std::array<TEPGroup*, EPRowCount>& groups)
    : code_(std::move(code)), name_(std::move(name)), groups_(groups)
{
    for (TEPGroup* group : groups_)
        group->items_.append(this);
}

void TEPItem::SetSelected(bool selected)
{
    if (selected == selected_)
        return;
    selected_ = selected;
    for (TEPGroup* group : groups_)
        group->OnItemSelected(selected);
}

// TEPGroup

void TEPGroup::OnItemSelected(bool selected)
{
    if (selected) {
        if (AllSelected())
            ClientLogs().Reports().Add(
                QCoreApplication::translate(Context, "OnItemSelected: All items are already selected."), 4);
        else
            ++selectedCount_;
    } else {
        if (NoneSelected())
            ClientLogs().Reports().Add(
                QCoreApplication::translate(Context, "OnItemSelected: All items are already DEselected."), 4);
        else
            --selectedCount_;
    }
}

void TEPGroup::SelectAll(bool selected)
{
    if (selected ? AllSelected() : NoneSelected())
        return;
    for (TEPItem* item : items_)
        item->SetSelected(selected);
}

QString TEPGroup::CountText() const
{
    if (items_.isEmpty())
        return QString();
    if (AllSelected())
        return QStringLiteral("%1 %2").arg(QCoreApplication::translate(Context, "All")).arg(ItemCount());
    return QStringLiteral("%1/%2").arg(selectedCount_).arg(ItemCount());
}

// TEPSelection

TEPSelection::TEPSelection()
{
    auto all = std::make_unique<TEPGroup>(0, QCoreApplication::translate(Context, "All"), 0);
    rows_[epAll].append(all.get());
    groups_.push_back(std::move(all));
    AddGroup(epLimitPlan, 0, QCoreApplication::translate(Context, "Unlimited"));
}

// Items first: a group's destruction frees only its list.
TEPSelection::~TEPSelection()
{
    items_.clear();
}

TEPGroup* TEPSelection::FindGroup(TEPRow row, int id) const
{
    for (TEPGroup* group : rows_[row])
        if (group->Id() == id)
            return group;
    return nullptr;
}

TEPGroup* TEPSelection::FindPbx(const QString& name) const
{
    for (TEPGroup* group : rows_[epPbx])
        if (group->Name() == name)
            return group;
    return nullptr;
}

TEPGroup* TEPSelection::AddGroup(TEPRow row, int id, const QString& name)
{
    auto group = std::make_unique<TEPGroup>(id, name, static_cast<int>(rows_[row].size()));
    rows_[row].append(group.get());
    groups_.push_back(std::move(group));
    return rows_[row].last();
}

TEPItem* TEPSelection::AddItem(const QString& code, const QString& name, int pbxId, int groupId,
                               int limitPlanId)
{
    TEPGroup* pbx = FindGroup(epPbx, pbxId);
    TEPGroup* group = FindGroup(epUserGroup, groupId);
    TEPGroup* plan = FindGroup(epLimitPlan, limitPlanId);
    if (!pbx || !group || !plan)
        return nullptr;
    items_.push_back(std::make_unique<TEPItem>(
        code, name, std::array<TEPGroup*, EPRowCount>{&AllItems(), pbx, group, plan}));
    return items_.back().get();
}

TEPCondition TEPSelection::Condition(const TEPExpressions& e, bool includeMissing) const
{
    TEPCondition c;
    const TEPGroup& all = AllItems();
    const QString missing = QStringLiteral("%1 is null").arg(e.Code);
    if (includeMissing) {
        if (all.NoneSelected())
            c.Sql = missing;
        else if (!all.AllSelected())
            c.Sql = QStringLiteral("(%1) or (%2)").arg(missing, SelectionCondition(e, c.UsesGroups));
    } else {
        if (all.NoneSelected())
            return c;
        c.Sql = all.AllSelected() ? QStringLiteral("not ") + missing : SelectionCondition(e, c.UsesGroups);
    }
    return c;
}

// Some but not all items are selected.
QString TEPSelection::SelectionCondition(const TEPExpressions& e, bool& usesGroups) const
{
    const QList<TEPGroup*>& pbxs = rows_[epPbx];
    if (pbxs.size() == 1)
        return PbxCondition(*pbxs.front(), e, usesGroups);
    TStringArray whole, terms;
    for (const TEPGroup* pbx : pbxs) {
        if (pbx->NoneSelected())
            continue;
        if (pbx->AllSelected())
            whole << QString::number(pbx->Id());
        else
            terms << QStringLiteral("(%1 = %2) and (%3)")
                         .arg(e.Pbx)
                         .arg(pbx->Id())
                         .arg(PbxCondition(*pbx, e, usesGroups));
    }
    const QString w = ListCondition(e.Pbx, whole);
    const QString t = JoinTexts(QStringLiteral(" or "), terms);
    if (w.isEmpty())
        return t;
    if (t.isEmpty())
        return w;
    return QStringLiteral("(%1) or %2").arg(w, t);
}

// One PBX whose items are partly selected: whole user groups by identifier, runs of codes
// that are neighbours among the PBX's codes as ranges, the rest as a list.
QString TEPSelection::PbxCondition(const TEPGroup& pbx, const TEPExpressions& e, bool& usesGroups) const
{
    TStringArray wholeGroups, loose;
    for (const TEPGroup* group : rows_[epUserGroup]) {
        QList<const TEPItem*> mine;
        for (const TEPItem* item : group->Items())
            if (item->Group(epPbx) == &pbx)
                mine << item;
        if (mine.isEmpty())
            continue;
        if (std::all_of(mine.begin(), mine.end(), [](const TEPItem* item) { return item->Selected(); })) {
            wholeGroups << QString::number(group->Id());
            continue;
        }
        for (const TEPItem* item : mine)
            if (item->Selected())
                loose << item->Code();
    }
    const QString groupCondition = ListCondition(e.Group, wholeGroups);
    if (!groupCondition.isEmpty())
        usesGroups = true;

    QStringList codes;
    for (const TEPItem* item : pbx.Items())
        codes << item->Code();
    SortCodes(codes);
    SortCodes(loose);
    TStringArray ranges, single;
    for (qsizetype i = 0; i < loose.size();) {
        const qsizetype at = std::lower_bound(codes.begin(), codes.end(), loose.at(i),
                                              [](const QString& a, const QString& b) {
                                                  return a.compare(b, Qt::CaseSensitive) < 0;
                                              }) -
                             codes.begin();
        qsizetype last = i;
        while (last + 1 < loose.size() && at + (last + 1 - i) < codes.size() &&
               codes.at(at + (last + 1 - i)) == loose.at(last + 1))
            ++last;
        if (last > i)
            ranges << CodeRange(e.Code, loose.at(i), loose.at(last));
        else
            single << loose.at(i);
        i = last + 1;
    }
    const QString rangeCondition = JoinTexts(QStringLiteral(" or "), ranges);
    const QString listCondition = ListCondition(e.Code, single);

    if (groupCondition.isEmpty()) {
        if (rangeCondition.isEmpty())
            return listCondition;
        return listCondition.isEmpty() ? rangeCondition
                                       : QStringLiteral("%1 or (%2)").arg(rangeCondition, listCondition);
    }
    if (rangeCondition.isEmpty())
        return listCondition.isEmpty() ? groupCondition
                                       : QStringLiteral("(%1) or (%2)").arg(groupCondition, listCondition);
    QString condition = QStringLiteral("(%1) or %2").arg(groupCondition, rangeCondition);
    if (!listCondition.isEmpty())
        condition += QStringLiteral(" or (%1)").arg(listCondition);
    return condition;
}

QString TEPSelection::ConditionValue(bool includeMissing) const
{
    const QString missing = BoolToState(includeMissing);
    const TEPGroup& all = AllItems();
    if (all.NoneSelected())
        return QStringLiteral("-;") + missing;
    if (all.AllSelected())
        return QStringLiteral("+;") + missing;
    QString value;
    for (const TEPGroup* pbx : rows_[epPbx]) {
        TStringArray codes;
        for (const TEPItem* item : pbx->Items())
            if (item->Selected())
                codes << item->Code();
        if (!codes.isEmpty())
            value += pbx->Name() + QLatin1Char(':') + JoinTexts(QStringLiteral(","), codes) + GroupSeparator;
    }
    return value + missing;
}

bool TEPSelection::RestoreSelection(const QString& conditionValue)
{
    const TStringArray parts = SplitText(GroupSeparator, conditionValue);
    TEPGroup& all = AllItems();
    if (parts.isEmpty() || parts.front() == QLatin1String("+")) {
        all.SelectAll(true);
    } else {
        all.SelectAll(false);
        if (parts.front() != QLatin1String("-")) {
            for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
                const TStringArray pieces = SplitText(QLatin1Char(':'), parts.at(i));
                const TEPGroup* pbx = pieces.size() >= 2 ? FindPbx(pieces.at(0)) : nullptr;
                if (!pbx)
                    continue;
                const TStringArray codes = SplitText(QLatin1Char(','), pieces.at(1));
                for (TEPItem* item : pbx->Items())
                    if (codes.contains(item->Code()))
                        item->SetSelected(true);
            }
        }
    }
    return parts.isEmpty() || StateToBool(parts.last(), true);
}

// Loading

namespace {

// Chooses the table the provider serves to this connection, then reads its rows.
void OpenCatalog(TRemoteDataSet& dataSet, TRemoteConnection& scReport, const QString& table)
{
    scReport.AppServer().Call(dispid::ReportRDM::ChooseCatalogTable, {dataSet.ProviderName(), table});
    dataSet.Open();
}

}  // namespace

void LoadEPSelection(TEPSelection& selection, TRemoteConnection& scReport, const QString& table)
{
    TRemoteDataSet cdsEPGroup;
    cdsEPGroup.setObjectName(QStringLiteral("cdsEPGroup"));
    cdsEPGroup.SetRemoteServer(&scReport);
    cdsEPGroup.SetProviderName(QLatin1String(provider::ReportRDM::dspEPGroup));
    const struct {
        TEPRow Row;
        const char* Table;
    } groupTables[] = {{epPbx, "PBX"}, {epUserGroup, "GROUPS"}, {epLimitPlan, "LIMIT_PLAN"}};
    for (const auto& t : groupTables) {
        OpenCatalog(cdsEPGroup, scReport, QLatin1String(t.Table));
        const TField* id = cdsEPGroup.FieldByName(QStringLiteral("ID"));
        const TField* name = cdsEPGroup.FieldByName(QStringLiteral("NAME"));
        for (cdsEPGroup.First(); !cdsEPGroup.Eof(); cdsEPGroup.Next())
            selection.AddGroup(t.Row, id->AsInteger(), name->AsString());
        cdsEPGroup.Close();
    }

    TRemoteDataSet cdsExtPin;
    cdsExtPin.setObjectName(QStringLiteral("cdsExtPin"));
    cdsExtPin.SetRemoteServer(&scReport);
    cdsExtPin.SetProviderName(QLatin1String(provider::ReportRDM::dspExtPin));
    OpenCatalog(cdsExtPin, scReport, table);
    const TField* code = cdsExtPin.FieldByName(QStringLiteral("CODE"));
    const TField* name = cdsExtPin.FieldByName(QStringLiteral("NAME"));
    const TField* pbx = cdsExtPin.FieldByName(QStringLiteral("PBX_ID"));
    const TField* group = cdsExtPin.FieldByName(QStringLiteral("GROUP_ID"));
    const TField* plan = cdsExtPin.FieldByName(QStringLiteral("LIMIT_PLAN_ID"));
    // A code without a limit plan (null or 0) belongs to "Unlimited".
    for (cdsExtPin.First(); !cdsExtPin.Eof(); cdsExtPin.Next())
        selection.AddItem(code->AsString(), name->AsString(), pbx->AsInteger(), group->AsInteger(),
                          plan->IsNull() ? 0 : plan->AsInteger());
    cdsExtPin.Close();
}
