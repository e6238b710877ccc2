#include "db/procedures.h"

#include "db/db_error.h"

namespace otherin::db {

ProcedureParams& ProcedureParams::in(const QString& name, const QVariant& value) {
    params_.push_back({name, value, false});
    return *this;
}

ProcedureParams& ProcedureParams::out(const QString& name, const QVariant& initial) {
    params_.push_back({name, initial, true});
    return *this;
}

ProcedureParam* ProcedureParams::find(const QString& name) {
    for (auto& p : params_) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) return &p;
    }
    return nullptr;
}

const ProcedureParam* ProcedureParams::find(const QString& name) const {
    return const_cast<ProcedureParams*>(this)->find(name);
}

QVariant ProcedureParams::value(const QString& name) const {
    const ProcedureParam* p = find(name);
    if (!p) throw DbError(QStringLiteral("存储过程没有参数 %1").arg(name));
    return p->value;
}

QVariant ProcedureParams::optional(const QString& name) const {
    const ProcedureParam* p = find(name);
    return p ? p->value : QVariant();
}

void ProcedureParams::set(const QString& name, const QVariant& value) {
    ProcedureParam* p = find(name);
    if (!p) throw DbError(QStringLiteral("存储过程没有参数 %1").arg(name));
    p->value = value;
}

void ProcedureRegistry::add(const QString& name, EmbeddedProcedure procedure) {
    procedures_.insert(name.toLower(), std::move(procedure));
}

const EmbeddedProcedure* ProcedureRegistry::find(const QString& name) const {
    auto it = procedures_.constFind(name.toLower());
    return it == procedures_.constEnd() ? nullptr : &it.value();
}

}  // namespace otherin::db
