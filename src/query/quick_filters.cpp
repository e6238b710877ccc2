#include "query/quick_filters.h"

#include "db/sql_text.h"
#include "entry/login_context.h"

namespace otherin::query {

namespace {

QString day(const QDate& date) {
    return db::quoteText(date.toString(QStringLiteral("yyyy-MM-dd")));
}

QString dateFragment(int code, const entry::LoginContext& ctx, const QDate& today) {
    switch (code) {
        case 1:
            return QStringLiteral(" and fdate>=") + day(today) + QStringLiteral(" and fdate<") +
                   day(today.addDays(1));
        case 2:
            return QStringLiteral(" and fYear=%1 and fPeriod=%2")
                .arg(ctx.gCurrentYear)
                .arg(ctx.gCurrentPeriod);
        case 3:
            return QStringLiteral(" and fYear=%1").arg(ctx.gCurrentYear);
        default:
            return {};
    }
}

// Status flags: code 1 and the other named code select that column's value.
QString flagFragment(int code, const QString& column, int otherCode) {
    if (code == 1) return QStringLiteral(" and %1=1").arg(column);
    if (code == otherCode) return QStringLiteral(" and %1=0").arg(column);
    return {};
}

}  // namespace

bool QuickFilter::select(const QString& text) {
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
        if (entries[i].text == text) {
            selected = i;
            return true;
        }
    }
    return false;
}

QuickFilters::QuickFilters() {
    const QString all = QStringLiteral("全部");
    filters_[DateRange] = {QStringLiteral("日期："),
                           {{QStringLiteral("今天"), 1},
                            {QStringLiteral("本期"), 2},
                            {QStringLiteral("本年"), 3},
                            {all, kAll}}};
    filters_[Audit] = {QStringLiteral("审核标志："),
                       {{QStringLiteral("审核"), 1}, {QStringLiteral("未审核"), 2}, {all, kAll}}};
    filters_[Void] = {QStringLiteral("作废标志："),
                      {{QStringLiteral("作废"), 1}, {QStringLiteral("正常"), 2}, {all, kAll}}};
    filters_[RedBlue] = {QStringLiteral("红蓝字："),
                         {{QStringLiteral("红字"), 1}, {QStringLiteral("蓝字"), 0}, {all, kAll}}};
    filters_[Posted] = {
        QStringLiteral("记账标志："),
        {{QStringLiteral("已记账"), 1}, {QStringLiteral("未记账"), 0}, {all, kAll}}};
    reset();
}

void QuickFilters::reset() {
    for (auto& f : filters_) f.enabled = true;
    filters_[DateRange].select(QStringLiteral("本期"));
    filters_[Audit].select(QStringLiteral("全部"));
    filters_[Void].select(QStringLiteral("正常"));
    filters_[RedBlue].select(QStringLiteral("全部"));
    filters_[Posted].select(QStringLiteral("全部"));
}

void QuickFilters::presetForPriceEdit() {
    filters_[Audit].select(QStringLiteral("审核"));
    filters_[Void].select(QStringLiteral("正常"));
    filters_[DateRange].enabled = false;
    filters_[Audit].enabled = false;
    filters_[Void].enabled = false;
}

QString buildMainSQL(const QuickFilters& filters, const entry::LoginContext& ctx,
                     const QDate& today) {
    using K = QuickFilters;
    return dateFragment(filters.filter(K::DateRange).selectedCode(), ctx, today) +
           flagFragment(filters.filter(K::Audit).selectedCode(), QStringLiteral("fstatus"), 2) +
           flagFragment(filters.filter(K::Void).selectedCode(), QStringLiteral("fcancellation"),
                        2) +
           flagFragment(filters.filter(K::RedBlue).selectedCode(), QStringLiteral("frob"), 0) +
           flagFragment(filters.filter(K::Posted).selectedCode(),
                        QStringLiteral("coalesce(fposted,0)"), 0);
}

}  // namespace otherin::query
