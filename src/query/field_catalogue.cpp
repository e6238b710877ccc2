#include "query/field_catalogue.h"

#include "entry/login_context.h"

namespace otherin::query {

FieldCatalogue::FieldCatalogue() {
    slots_.push_back({QStringLiteral("无"), {}, {}, {}, {}, {}});
}

void FieldCatalogue::load(entry::LoginContext& ctx) {
    std::vector<QueryField> fields{{QStringLiteral("无"), {}, {}, {}, {}, {}}};
    QStringList titles;
    QStringList names;
    {
        entry::ConnectionScope scope(ctx);
        db::Query q = ctx.gConnection.prepare(QStringLiteral(
            "select a.fTitlename,a.fFieldName,a.fNumType,a.fItemclassid,a.fNumberName,"
            "coalesce(b.fItemType,0) from tblFindInfoentry2 as a left outer join tblItemclass as b"
            // the field's item class is a text code, the class's id a number
            " on a.fitemclassid=cast(b.fitemclassid as text) where a.ftypeid=? order by "
            "a.fentryid"));
        q.bind(ctx.gBillTypeId).exec();
        for (int read = 0; read < kMaxQueryFields && q.next(); ++read) {
            QueryField f{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                         q.value(3).toString(), q.value(4).toString(), q.value(5).toString()};
            if (f.title.isEmpty()) continue;
            titles << f.title;
            names << f.fieldName;
            fields.push_back(std::move(f));
        }
    }
    slots_ = std::move(fields);
    sortTitles_ = std::move(titles);
    sortFieldNames_ = std::move(names);
}

int FieldCatalogue::slotOfField(const QString& fieldName) const {
    if (fieldName.trimmed().isEmpty()) return -1;
    for (int i = 1; i < slotCount(); ++i) {
        if (slots_[i].fieldName.compare(fieldName.trimmed(), Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

template <typename Member>
QStringList FieldCatalogue::column(Member member) const {
    QStringList list;
    list.reserve(slotCount());
    for (const auto& f : slots_) list << f.*member;
    return list;
}

QStringList FieldCatalogue::titles() const {
    return column(&QueryField::title);
}
QStringList FieldCatalogue::fieldNames() const {
    return column(&QueryField::fieldName);
}
QStringList FieldCatalogue::fieldTypes() const {
    return column(&QueryField::fieldType);
}
QStringList FieldCatalogue::itemClasses() const {
    return column(&QueryField::itemClass);
}
QStringList FieldCatalogue::resultKinds() const {
    return column(&QueryField::resultKind);
}
QStringList FieldCatalogue::itemTypes() const {
    return column(&QueryField::itemType);
}

}  // namespace otherin::query
