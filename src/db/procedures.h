#pragma once

#include <QMap>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

namespace otherin::db {

class Connection;

// One typed parameter of a stored procedure. Output parameters are filled in
// by the call.
struct ProcedureParam {
    QString name;
    QVariant value;
    bool output = false;
};

class ProcedureParams {
  public:
    ProcedureParams& in(const QString& name, const QVariant& value);
    ProcedureParams& out(const QString& name, const QVariant& initial);

    QVariant value(const QString& name) const;
    // The value of an optional parameter; invalid when the caller gave none.
    QVariant optional(const QString& name) const;
    void set(const QString& name, const QVariant& value);
    std::vector<ProcedureParam>& all() { return params_; }
    const std::vector<ProcedureParam>& all() const { return params_; }

  private:
    ProcedureParam* find(const QString& name);
    const ProcedureParam* find(const QString& name) const;
    std::vector<ProcedureParam> params_;
};

// On the embedded database, stored procedures are C++ functions registered by
// name; a call reaches the function with the open connection.
using EmbeddedProcedure = std::function<void(Connection&, ProcedureParams&)>;

class ProcedureRegistry {
  public:
    void add(const QString& name, EmbeddedProcedure procedure);
    const EmbeddedProcedure* find(const QString& name) const;

  private:
    QMap<QString, EmbeddedProcedure> procedures_;
};

}  // namespace otherin::db
