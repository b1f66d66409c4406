// Checks that every control of a running application has a name a screen reader can read.
//
// Talks AT-SPI over D-Bus directly: finds the application on the accessibility registry (by
// process id or name), waits for the windows asked for, walks the accessible tree of each of
// its windows and prints role and name of every push button, combo box, tree, table, list and
// slider. Exits 1 listing each such control whose name is empty, 2 when the application or a
// window never showed up or the bus could not be reached, 3 when the started program, given
// --wait-exit, did not end by itself or failed.
//
// With --toggle NAME it checks nothing: it waits for a visible button of that name and runs
// its "Toggle" action, as a screen reader does (exit 1 when the button has no such action).
//
//   accessiblenames [--app NAME | --pid PID] [--window TITLE]... [options]
//   accessiblenames [--window TITLE]... [options] -- program [args...]
//
// Needs a D-Bus session bus with the AT-SPI bus started on it (see with-a11y-bus).
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <cstdio>
#include <optional>

namespace {

// Values of the AT-SPI enumerations used here (atspi-constants.h).
enum Role : uint {
    ComboBox = 11,
    List = 31,
    PushButton = 43,
    Slider = 51,
    Table = 55,
    ToggleButton = 62,
    Tree = 65,
    TreeTable = 66,
    ListBox = 98,
    CheckBox = 7,
    RadioButton = 44,
    SpinButton = 52,
    Text = 61,
    PageTab = 37,
    MenuItem = 35,
};
constexpr uint StateVisible = 30;
constexpr uint RelationLabelledBy = 2;

const QString Registry = QStringLiteral("org.a11y.atspi.Registry");
const QString RootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString AccessibleIface = QStringLiteral("org.a11y.atspi.Accessible");

struct Ref {
    QString service;
    QDBusObjectPath path;
    bool isNull() const { return path.path() == QLatin1String("/org/a11y/atspi/null"); }
};
struct Relation {
    uint type = 0;
    QList<Ref> targets;
};
} // namespace
Q_DECLARE_METATYPE(Ref)
Q_DECLARE_METATYPE(Relation)

namespace {
QDBusArgument& operator<<(QDBusArgument& a, const Ref& r) {
    a.beginStructure();
    a << r.service << r.path;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, Ref& r) {
    a.beginStructure();
    a >> r.service >> r.path;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const Relation& r) {
    a.beginStructure();
    a << r.type << r.targets;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, Relation& r) {
    a.beginStructure();
    a >> r.type >> r.targets;
    a.endStructure();
    return a;
}

// A D-Bus failure while walking: the program went away or did not answer in time.
struct BusError {
    QString message;
};

class Bus {
public:
    Bus(QDBusConnection c, int timeoutMs) : m_c(std::move(c)), m_timeout(timeoutMs) {}

    QList<Ref> children(const Ref& o) { return demarshall<QList<Ref>>(call(o, "GetChildren")); }
    uint role(const Ref& o) { return call(o, "GetRole").arguments().value(0).toUInt(); }
    QString roleName(const Ref& o) {
        return call(o, "GetRoleName").arguments().value(0).toString();
    }
    bool visible(const Ref& o) {
        const auto words = demarshall<QList<uint>>(call(o, "GetState"));
        return words.size() > 0 && (words.at(0) & (1u << StateVisible));
    }
    QString name(const Ref& o) { return property(o, "Name"); }
    // Runs the action of that name (a button's "Toggle", "Press"); false when it has none.
    bool doAction(const Ref& o, const QString& action) {
        const QString iface = QStringLiteral("org.a11y.atspi.Action");
        const QDBusMessage n = call(o, "Get", {iface, QStringLiteral("NActions")},
                                    QStringLiteral("org.freedesktop.DBus.Properties"));
        const int count = n.arguments().value(0).value<QDBusVariant>().variant().toInt();
        QStringList names;
        for (int i = 0; i < count; ++i) {
            names << call(o, "GetName", {i}, iface).arguments().value(0).toString();
            if (names.last().compare(action, Qt::CaseInsensitive) == 0)
                return call(o, "DoAction", {i}, iface).arguments().value(0).toBool();
        }
        std::fprintf(stderr, "actions: %s\n", qPrintable(names.join(QLatin1Char(','))));
        return false;
    }
    QString description(const Ref& o) { return property(o, "Description"); }
    QString label(const Ref& o) {
        QStringList names;
        for (const Relation& r : demarshall<QList<Relation>>(call(o, "GetRelationSet")))
            if (r.type == RelationLabelledBy)
                for (const Ref& t : r.targets)
                    if (const QString n = name(t); !n.isEmpty())
                        names << n;
        return names.join(QLatin1Char(' '));
    }
    std::optional<uint> pid(const QString& service) {
        const QDBusReply<uint> r = m_c.interface()->servicePid(service);
        return r.isValid() ? std::optional<uint>(r.value()) : std::nullopt;
    }

private:
    QDBusMessage call(const Ref& o, const char* method, const QVariantList& args = {},
                      const QString& iface = AccessibleIface) {
        auto m =
            QDBusMessage::createMethodCall(o.service, o.path.path(), iface, QLatin1String(method));
        m.setArguments(args);
        const QDBusMessage reply = m_c.call(m, QDBus::Block, m_timeout);
        if (reply.type() != QDBusMessage::ReplyMessage)
            throw BusError{
                QStringLiteral("%1 on %2%3: %4")
                    .arg(QLatin1String(method), o.service, o.path.path(), reply.errorMessage())};
        return reply;
    }
    QString property(const Ref& o, const char* prop) {
        const QDBusMessage r = call(o, "Get", {AccessibleIface, QLatin1String(prop)},
                                    QStringLiteral("org.freedesktop.DBus.Properties"));
        return r.arguments().value(0).value<QDBusVariant>().variant().toString();
    }
    template <typename T> static T demarshall(const QDBusMessage& m) {
        T value;
        m.arguments().value(0).value<QDBusArgument>() >> value;
        return value;
    }

    QDBusConnection m_c;
    int m_timeout;
};

struct Options {
    QSet<uint> roles;
    bool includeHidden = false;
    bool strictCombo = false;
};

struct Found {
    Ref ref;
    QString path;
};

// Roles whose children are items or parts (a combo box's popup list and editor), not controls
// of their own.
bool holdsItems(uint role) {
    return role == Tree || role == TreeTable || role == Table || role == List || role == ListBox ||
           role == ComboBox;
}

void walk(Bus& bus, const Ref& o, const QString& here, const Options& opt, QList<Found>& out) {
    if (!opt.includeHidden && !bus.visible(o))
        return; // hidden widgets and everything in them are not read out
    const uint role = bus.role(o);
    if (opt.roles.contains(role))
        out.append({o, here});
    if (holdsItems(role))
        return; // not walked: a long list would take ages
    const QList<Ref> kids = bus.children(o);
    for (qsizetype i = 0; i < kids.size(); ++i)
        if (!kids.at(i).isNull())
            walk(bus, kids.at(i),
                 QStringLiteral("%1 > %2[%3]").arg(here, bus.roleName(kids.at(i))).arg(i), opt,
                 out);
}

// Whether process pid is ancestor or one of its descendants (the program may be started
// through a wrapper such as env, sh -c or a launcher script).
bool descendsFrom(uint pid, uint ancestor) {
    for (int depth = 0; depth < 64; ++depth) {
        if (pid == ancestor)
            return true;
        if (pid <= 1)
            return false;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.readAll();
        // "pid (comm) state ppid ...": comm may hold spaces and parentheses.
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 1).simplified().split(' ');
        bool ok = false;
        pid = rest.value(1).toUInt(&ok);
        if (!ok)
            return false;
    }
    return false;
}

std::optional<Ref> findApp(Bus& bus, std::optional<uint> pid, const QString& name) {
    for (const Ref& app : bus.children(Ref{Registry, QDBusObjectPath(RootPath)})) {
        try {
            if (pid ? descendsFrom(bus.pid(app.service).value_or(0), *pid) : bus.name(app) == name)
                return app;
        } catch (const BusError&) {
            // an application that went away meanwhile
        }
    }
    return std::nullopt;
}

QStringList windowTitles(Bus& bus, const Ref& app) {
    QStringList titles;
    for (const Ref& w : bus.children(app))
        titles << bus.name(w);
    return titles;
}

void print(FILE* f, const QString& s) {
    std::fputs(qPrintable(s + QLatin1Char('\n')), f);
    std::fflush(f);
}

struct Result {
    int controls = 0;
    QStringList report;
    QStringList failures;
};

Result check(Bus& bus, const Ref& app, const Options& opt) {
    QList<Found> found;
    for (const Ref& w : bus.children(app))
        walk(bus, w, QStringLiteral("%1 '%2'").arg(bus.roleName(w), bus.name(w)), opt, found);
    Result result;
    result.controls = int(found.size());
    for (const Found& c : found) {
        const QString name = bus.name(c.ref);
        const QString tip = bus.description(c.ref);
        const QString label = bus.label(c.ref);
        QString problem;
        if (name.trimmed().isEmpty())
            problem = QStringLiteral("empty name");
        else if (opt.strictCombo && bus.role(c.ref) == ComboBox && label.trimmed().isEmpty())
            // Qt on Linux publishes a combo box's current text as its name (its accessibleName
            // only while that text is empty); what says what the combo is for is its label.
            problem = QStringLiteral("no label (Qt names a combo box by its current text)");
        QString line = QStringLiteral("%1 '%2'").arg(bus.roleName(c.ref), -12).arg(name);
        if (!label.isEmpty())
            line += QStringLiteral("  label='%1'").arg(label);
        if (!tip.isEmpty())
            line += QStringLiteral("  tooltip='%1'").arg(tip);
        line += QStringLiteral("   [%1]").arg(c.path);
        if (!problem.isEmpty()) {
            line += QStringLiteral("  <- ") + problem;
            result.failures << line;
        }
        result.report << (problem.isEmpty() ? QStringLiteral("ok   ") : QStringLiteral("FAIL ")) +
                             line;
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Ref>();
    qDBusRegisterMetaType<QList<Ref>>();
    qDBusRegisterMetaType<Relation>();
    qDBusRegisterMetaType<QList<Relation>>();

    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Checks that the controls of an application have accessible names."));
    p.addHelpOption();
    p.addOptions({
        {QStringLiteral("app"), QStringLiteral("Accessible name of the application."),
         QStringLiteral("name")},
        {QStringLiteral("pid"), QStringLiteral("Process id of the application."),
         QStringLiteral("pid")},
        {QStringLiteral("window"),
         QStringLiteral("Wait for a window with this title (repeatable)."),
         QStringLiteral("title")},
        {QStringLiteral("timeout"), QStringLiteral("Seconds to wait for it all (30)."),
         QStringLiteral("s"), QStringLiteral("30")},
        {QStringLiteral("settle"), QStringLiteral("Seconds to wait once all is there (0.3)."),
         QStringLiteral("s"), QStringLiteral("0.3")},
        {QStringLiteral("also"),
         QStringLiteral("Check this role too: check-box, radio-button, spin-button, text, "
                        "page-tab, menu-item."),
         QStringLiteral("role")},
        {QStringLiteral("wait-exit"),
         QStringLiteral("After the check, give the started program this long to end by itself (so "
                        "that sanitizers check it at exit); its failure fails the check."),
         QStringLiteral("s"), QStringLiteral("0")},
        {QStringLiteral("include-hidden"), QStringLiteral("Check hidden controls too.")},
        {QStringLiteral("strict-combo"), QStringLiteral("Fail combo boxes that have no label.")},
        {QStringLiteral("toggle"),
         QStringLiteral("Run the Toggle action of the visible button of this name instead."),
         QStringLiteral("name")},
    });
    p.addPositionalArgument(QStringLiteral("program"),
                            QStringLiteral("Program to start and check (after --)."));
    p.process(app);

    Options opt;
    opt.roles = {PushButton, ToggleButton, ComboBox, Tree, TreeTable, Table, List, ListBox, Slider};
    const QHash<QString, uint> extra = {
        {QStringLiteral("check-box"), CheckBox},     {QStringLiteral("radio-button"), RadioButton},
        {QStringLiteral("spin-button"), SpinButton}, {QStringLiteral("text"), Text},
        {QStringLiteral("page-tab"), PageTab},       {QStringLiteral("menu-item"), MenuItem}};
    for (const QString& r : p.values(QStringLiteral("also"))) {
        if (!extra.contains(r)) {
            print(stderr, QStringLiteral("unknown role: ") + r);
            return 2;
        }
        opt.roles.insert(extra.value(r));
    }
    opt.includeHidden = p.isSet(QStringLiteral("include-hidden"));
    opt.strictCombo = p.isSet(QStringLiteral("strict-combo"));
    const QStringList wanted = p.values(QStringLiteral("window"));
    const QString appName = p.value(QStringLiteral("app"));
    const QStringList command = p.positionalArguments();
    std::optional<uint> pid;
    if (p.isSet(QStringLiteral("pid")))
        pid = p.value(QStringLiteral("pid")).toUInt();
    if (appName.isEmpty() && !pid && command.isEmpty()) {
        print(stderr, QStringLiteral("give --app, --pid or a program to start"));
        return 2;
    }
    const auto timeoutMs = qint64(p.value(QStringLiteral("timeout")).toDouble() * 1000);
    const auto waitExitMs = int(p.value(QStringLiteral("wait-exit")).toDouble() * 1000);
    const auto settleMs = int(p.value(QStringLiteral("settle")).toDouble() * 1000);

    // The accessibility bus's address is on the session bus; asking for it starts the bus.
    const QDBusMessage addr = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
            QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
        QDBus::Block, 10000);
    if (addr.type() != QDBusMessage::ReplyMessage) {
        print(stderr, QStringLiteral("no accessibility bus: ") + addr.errorMessage());
        return 2;
    }
    QDBusConnection a11y =
        QDBusConnection::connectToBus(addr.arguments().value(0).toString(), QStringLiteral("a11y"));
    if (!a11y.isConnected()) {
        print(stderr, QStringLiteral("cannot connect to the accessibility bus: ") +
                          a11y.lastError().message());
        return 2;
    }
    // A program under a sanitizer answers slowly: allow each call 10 s.
    Bus bus(a11y, 10000);

    QProcess proc;
    proc.setProcessChannelMode(QProcess::ForwardedChannels);
    if (!command.isEmpty()) {
        proc.start(command.first(), command.mid(1));
        if (!proc.waitForStarted(10000)) {
            print(stderr,
                  QStringLiteral("cannot start %1: %2").arg(command.first(), proc.errorString()));
            return 2;
        }
        pid = uint(proc.processId());
    }
    struct Stop {
        QProcess& p;
        ~Stop() {
            if (p.state() == QProcess::NotRunning)
                return;
            p.terminate();
            if (!p.waitForFinished(10000)) {
                p.kill();
                p.waitForFinished();
            }
        }
    } stop{proc};

    QElapsedTimer clock;
    clock.start();
    std::optional<Ref> target;
    QStringList missing = wanted;
    for (;;) {
        if (!command.isEmpty() && proc.state() == QProcess::NotRunning) {
            print(stderr, QStringLiteral("the program ended (exit %1) before it was checked")
                              .arg(proc.exitCode()));
            return 2;
        }
        try {
            if (!target)
                target = findApp(bus, pid, appName);
            if (target) {
                const QStringList titles = windowTitles(bus, *target);
                missing.clear();
                for (const QString& w : wanted)
                    if (!titles.contains(w))
                        missing << w;
                if (!titles.isEmpty() && missing.isEmpty())
                    break;
            }
        } catch (const BusError&) {
            // registered but not answering yet
        }
        if (clock.elapsed() > timeoutMs) {
            print(stderr, QStringLiteral("%1 did not show up on the accessibility bus within %2 ms")
                              .arg(target ? QStringLiteral("window(s) '%1'")
                                                .arg(missing.join(QStringLiteral("', '")))
                                          : QStringLiteral("the application"))
                              .arg(timeoutMs));
            return 2;
        }
        if (command.isEmpty())
            QThread::msleep(50);
        else
            proc.waitForFinished(50);
    }
    const qint64 foundAt = clock.elapsed();
    QThread::msleep(settleMs);

    if (p.isSet(QStringLiteral("toggle"))) {
        const QString wantedName = p.value(QStringLiteral("toggle"));
        Options buttons;
        buttons.roles = {PushButton, ToggleButton, CheckBox}; // a checkable button is a check box
        for (;;) {
            try {
                QList<Found> found;
                for (const Ref& w : bus.children(*target))
                    walk(bus, w, QString(), buttons, found);
                for (const Found& f : found) {
                    if (bus.name(f.ref) == wantedName) {
                        const bool done = bus.doAction(f.ref, QStringLiteral("Toggle"));
                        print(done ? stdout : stderr,
                              QStringLiteral("%1: Toggle %2")
                                  .arg(wantedName, done ? "done" : "missing"));
                        return done ? 0 : 1;
                    }
                }
            } catch (const BusError&) {
                // a window going or coming meanwhile
            }
            if (clock.elapsed() > timeoutMs) {
                print(stderr, QStringLiteral("no visible button '%1'").arg(wantedName));
                return 2;
            }
            QThread::msleep(100);
        }
    }

    for (int attempt = 1;; ++attempt) {
        try {
            // Collected first and printed once whole, so that a retried walk prints nothing twice.
            const Result r = check(bus, *target, opt);
            for (const QString& line : r.report)
                print(stdout, line);
            print(
                stdout,
                QStringLiteral(
                    "%1 controls checked, %2 without a name (found after %3 ms, done after %4 ms)")
                    .arg(r.controls)
                    .arg(r.failures.size())
                    .arg(foundAt)
                    .arg(clock.elapsed()));
            if (!r.failures.isEmpty()) {
                print(stderr, QStringLiteral("Controls a screen reader cannot name:"));
                for (const QString& f : r.failures)
                    print(stderr, QStringLiteral("  ") + f);
            }
            if (r.controls == 0) {
                print(stderr, QStringLiteral("no control found: is this the right application?"));
                return 2;
            }
            if (waitExitMs > 0 && !command.isEmpty()) {
                if (!proc.waitForFinished(waitExitMs)) {
                    print(stderr,
                          QStringLiteral("the program did not end within %1 ms").arg(waitExitMs));
                    return 3;
                }
                if (proc.exitStatus() != QProcess::NormalExit || proc.exitCode() != 0) {
                    print(stderr, QStringLiteral("the program ended with %1 %2")
                                      .arg(proc.exitStatus() == QProcess::NormalExit
                                               ? QStringLiteral("exit status")
                                               : QStringLiteral("a crash, code"))
                                      .arg(proc.exitCode()));
                    return 3;
                }
            }
            return r.failures.isEmpty() ? 0 : 1;
        } catch (const BusError& e) {
            if (attempt == 3) {
                print(stderr, QStringLiteral("walking the accessible tree failed: ") + e.message);
                return 2;
            }
            print(stderr, QStringLiteral("retrying the walk: ") + e.message);
            QThread::msleep(200 * attempt);
        }
    }
}
