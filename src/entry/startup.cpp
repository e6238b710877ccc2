#include "entry/startup.h"

#include "entry/host_login.h"

#include "db/db_error.h"
#include "db/login_probe.h"
#include "entry/database_file.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "entry/login_session.h"
#include "entry/prompter.h"
#include "entry/settings_store.h"
#include "entry/shared_switches.h"

namespace otherin::entry {

namespace {

const QString kSetup = QStringLiteral("SystemSetup");
const QString kLogin = QStringLiteral("SystemLogin");
const QString kDb = QStringLiteral("DBOperation");

int toShort(const QString& key, const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < -32768 || value > 32767) {
        throw SettingsError(QStringLiteral("设置 %1 的值“%2”不是有效的整数").arg(key, text));
    }
    return value;
}

bool toBool(const QString& key, const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0) return false;
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok) throw SettingsError(QStringLiteral("设置 %1 的值“%2”不是有效的真假值").arg(key, text));
    return d != 0;
}

// The switches that move stock are not read here: they are the database's
// (readSharedSwitches). IsAdmin and UserType come from the user's row.
void readSettings(LoginContext& ctx, const SettingsStore& s) {
    auto text = [&](const QString& section, const char* key, const char* fallback) {
        return s.value(section, QString::fromLatin1(key), QString::fromUtf8(fallback));
    };
    auto shortValue = [&](const QString& section, const char* key, const char* fallback) {
        return toShort(QString::fromLatin1(key), text(section, key, fallback));
    };
    ctx.msgTitle = text(kSetup, "msgTitle", "Mendaxo进销存");
    ctx.DBConnectionString = text(kDb, "DBConnectionString", "");
    // Only a claim, checked against the login session (identifyUser).
    ctx.gLoginUserId = text(kLogin, "gLoginUserId", "");
    ctx.gLoginUserName = text(kLogin, "gLoginUserName", "");
    ctx.gCurrentYear = shortValue(kSetup, "gCurrentYear", "0");
    ctx.gCurrentPeriod = shortValue(kSetup, "gCurrentPeriod", "0");
    ctx.gBillLength = shortValue(kSetup, "gBillLength", "6");
    ctx.gIsUpdateBillNo = shortValue(kSetup, "gIsUpdateBillNo", "0");
    ctx.gSeekItem = text(kSetup, "gSeekItem", "fNumber");
    ctx.gIsShowTip = toBool(QStringLiteral("gIsShowTip"), text(kSetup, "gIsShowTip", "true"));
    ctx.gAppPath = text(kSetup, "gAppPath", "");
}

// Takes the user from the login session the host recorded, and the user's
// name, administrator flag and type from tblUser: a settings file is the
// user's own to edit and proves nothing.
void identifyUser(LoginContext& ctx, const SettingsStore& s) {
    // A clerk's own server login says who they are; the token is not needed.
    if (const auto user = serverLoginUser(ctx.gConnection)) {
        ctx.gLoginUserId = QString::number(user->id);
        ctx.gLoginUserName = user->name;
        ctx.IsAdmin = user->isAdmin;
        ctx.UserType = user->userType;
        return;
    }
    const QString token = s.value(kLogin, QStringLiteral("gLoginToken"), QString());
    if (token.trimmed().isEmpty()) {
        throw LoginError(QStringLiteral("没有登录信息，请先登录再打开%1。").arg(ctx.gBillName));
    }
    const SessionCheck session = checkLoginSession(ctx.gConnection, token);
    if (session.state == SessionCheck::State::Unknown) {
        throw LoginError(QStringLiteral("登录信息无效，请重新登录。"));
    }
    if (session.state == SessionCheck::State::Expired) {
        throw LoginError(QStringLiteral("登录已过期，请重新登录。"));
    }
    const QString claimed = ctx.gLoginUserId.trimmed();
    bool numeric = false;
    if (!claimed.isEmpty() && (claimed.toLongLong(&numeric) != session.userId || !numeric)) {
        throw LoginError(QStringLiteral("设置中的用户与登录的用户不符，请重新登录。"));
    }
    db::Query q = ctx.gConnection.prepare(QStringLiteral(
        "select coalesce(fname,''),coalesce(fIsAdmin,0),coalesce(fUserType,1) from tblUser where "
        "fuserid=?"));
    q.bind(session.userId).exec();
    if (!q.next()) {
        throw LoginError(
            QStringLiteral("登录的用户 %1 已不存在，请重新登录。").arg(session.userId));
    }
    ctx.gLoginUserId = QString::number(session.userId);
    ctx.gLoginUserName = q.value(0).toString();
    ctx.IsAdmin = q.value(1).toInt();
    ctx.UserType = q.value(2).toInt();
}

void readDatabase(LoginContext& ctx) {
    db::Connection& c = ctx.gConnection;
    {
        db::Query q =
            c.prepare(QStringLiteral("select fNewBillName from tblMaxBillNo where ftypeid=?"));
        q.bind(ctx.gBillTypeId).exec();
        // A row without a name keeps the module's own.
        if (q.next() && !q.value(0).toString().trimmed().isEmpty()) {
            ctx.gBillName = q.value(0).toString();
        }
    }
    {
        db::Query q = c.prepare(
            QStringLiteral("select ftypeid,fvalue from tblSystemInfo where fTypeid in (4,5)"));
        q.exec();
        while (q.next()) {
            const int type = q.value(0).toInt();
            if (type == 4)
                ctx.gCurrentYear =
                    toShort(QStringLiteral("tblSystemInfo 4"), q.value(1).toString());
            if (type == 5)
                ctx.gCurrentPeriod =
                    toShort(QStringLiteral("tblSystemInfo 5"), q.value(1).toString());
        }
    }
    {
        db::Query q = c.prepare(QStringLiteral(
            "select fStartDate from tblPeriod where fTypeid=2 and fYear=? and fPeriod=?"));
        q.bind(ctx.gCurrentYear).bind(ctx.gCurrentPeriod).exec();
        if (q.next()) ctx.gPeriodStartDate = q.value(0).toString();
    }
}

}  // namespace

void setConstants(LoginContext& ctx) {
    ctx.gBillName = QString::fromUtf8(constants::kBillName);
    ctx.gBillTypeId = constants::kBillTypeId;
    ctx.gFromJournal = 0;
    ctx.gViewName = QString::fromLatin1(constants::kViewName);
    ctx.gIsRedBill = 0;
    ctx.gCurrentInterId = 0;
    ctx.gRightPrefix = QString::fromLatin1(constants::kRightPrefix);
    ctx.gItemClassList = QString::fromLatin1(constants::kItemClassList);
}

// A clerk's server login with no password at hand (none in the settings,
// none this program logged in with, none the client library finds) is
// asked for one, again after a wrong one; it stays in the program's memory.
void askServerPassword(const LoginContext& ctx, Prompter& prompter) {
    const db::ConnectionTarget target = db::parseConnectionString(ctx.DBConnectionString);
    // Logged in already (by the host, or an earlier window of this program).
    if (target.kind != db::DialectKind::PostgreSql || db::rememberedServerPassword(target)) return;
    db::ConnectionTarget place = target;
    place.user.clear();
    const auto ask = [&](const db::LoginProbe& refused,
                         const QString& user) -> std::optional<db::PasswordTry> {
        const QString problem = refused.outcome == db::LoginProbe::Outcome::WrongPassword
                                    ? QStringLiteral("密码不正确，请重新输入。\n")
                                    : QString();
        const auto typed = prompter.secret(
            problem +
                QStringLiteral("数据库服务器 %1 上登录 %2 的密码:").arg(place.describe(), user),
            ctx.gBillName);
        if (!typed) return std::nullopt;
        return db::PasswordTry{user, *typed};
    };
    if (!db::logInToServer(target, QString(), ask))
        throw LoginError(QStringLiteral("没有登录数据库服务器，%1没有打开。").arg(ctx.gBillName));
}

void startUp(LoginContext& ctx, const SettingsStore& settings, Prompter& prompter) {
    ctx.settingsFile = settings.fileName();
    readSettings(ctx, settings);
    setConstants(ctx);
    requireDatabaseFile(ctx.DBConnectionString);
    askServerPassword(ctx, prompter);
    openConnection(ctx);
    try {
        identifyUser(ctx, settings);
        readSharedSwitches(ctx);
    } catch (...) {
        closeConnection(ctx);
        throw;
    }
    try {
        readDatabase(ctx);
    } catch (const db::DbError& e) {
        reportError(ctx, prompter, e.message());
        return;
    } catch (const SettingsError& e) {
        reportError(ctx, prompter, e.message());
        return;
    }
    closeConnection(ctx);
}

}  // namespace otherin::entry
