// SPDX-License-Identifier: MIT
// From a link to the first picture of the video, as a person sees it, against mpv on the same clip:
// the X display is recorded from outside (ffmpeg's x11grab stamps each frame with the wall clock)
// and the first frame that shows the clip's colours ends the count. Vireo and mpv alternate.
//   start:   `vireo LINK` and `mpv URL` (its default output, and --vo=x11), process start to picture
//   running: a window that has been up a while, Return (a key through xdotool) and mpv's `loadfile`
//            over its IPC socket to picture; the first link of the process, then later ones
// Beside each, as its floor, `bench_window underlay`: a bare Qt Quick window showing mpv's pictures,
// started with the clip's address, or where each link entered is a new mpv core that loads paused
// beside the one on screen.
// Prints one line per figure; `bench_firstframe start` times the starts alone. Needs DISPLAY (an Xvfb
// of its own), ffmpeg and xdotool; skips mpv's side when mpv is missing. Runs a stand-in instance on
// 127.0.0.1; VIREO is the executable.
#include "median.h"
#include "standins.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLocalSocket>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <chrono>
#include <optional>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vireo::test;

namespace {

// The clip is a colour test pattern; Vireo's window and mpv's empty one are grey and black.
constexpr double ClipSaturation = 2.0;
constexpr auto GiveUp = 15s;

qint64 nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Runs the event loop for `ms`. QTest::qWait sleeps between rounds of events, so the stand-in server,
// which runs on this thread, would answer up to 10 ms late.
void pause(std::chrono::milliseconds ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void say(const QString &line)
{
    QTextStream(stdout) << line << Qt::endl;
}

// VIREO_BENCH_TRACE=1 prints every moment a count starts (ms since the epoch, to set beside the
// programs' own logs) and every single time as it is taken.
qint64 stamp()
{
    const qint64 now = nowUs();
    if (qEnvironmentVariableIsSet("VIREO_BENCH_TRACE"))
        QTextStream(stderr) << "t0 " << now / 1000 << Qt::endl;
    return now;
}

std::optional<double> trace(const QString &what, std::optional<double> ms)
{
    if (qEnvironmentVariableIsSet("VIREO_BENCH_TRACE"))
        QTextStream(stderr) << what << ' ' << (ms ? QString::number(*ms) : u"-"_s) << Qt::endl;
    return ms;
}

// The display as ffmpeg sees it: each grabbed frame's wall-clock time and mean saturation.
class Recorder
{
public:
    Recorder()
    {
        // Scaled down first, so that measuring costs the machine little beside what it measures.
        m_ffmpeg.setProgram(u"ffmpeg"_s);
        m_ffmpeg.setArguments({u"-hide_banner"_s, u"-loglevel"_s, u"fatal"_s, u"-f"_s, u"x11grab"_s, u"-framerate"_s, u"60"_s,
                               u"-copyts"_s, u"-i"_s, qEnvironmentVariable("DISPLAY"), u"-vf"_s,
                               u"scale=160:90:flags=neighbor,signalstats,metadata=print:key=lavfi.signalstats.SATAVG:file=/dev/stdout:direct=1"_s,
                               u"-fps_mode"_s, u"passthrough"_s, u"-f"_s, u"null"_s, u"-"_s});
        QObject::connect(&m_ffmpeg, &QProcess::readyReadStandardOutput, [this] { read(); });
        m_ffmpeg.start();
    }
    ~Recorder()
    {
        m_ffmpeg.terminate();
        m_ffmpeg.waitForFinished();
    }
    bool started() { return m_ffmpeg.waitForStarted() && waitFor([this] { return !m_frames.isEmpty(); }); }

    // The first frame at or after `since` that shows the clip (or shows something else), in µs.
    std::optional<qint64> first(qint64 since, bool clip)
    {
        std::optional<qint64> seen;
        waitFor([&] {
            for (const auto &[us, saturation] : m_frames)
                if (us >= since && (saturation > ClipSaturation) == clip)
                    return bool(seen = us);
            return false;
        });
        return seen;
    }
    [[nodiscard]] double lastSaturation() const { return m_frames.isEmpty() ? -1 : m_frames.last().second; }

private:
    template<typename F>
    static bool waitFor(F done)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > std::chrono::milliseconds(GiveUp).count())
                return false;
            pause(5ms);
        }
        return true;
    }
    void read()
    {
        while (m_ffmpeg.canReadLine()) {
            const QByteArray line = m_ffmpeg.readLine().trimmed();
            if (const qsizetype pts = line.indexOf("pts:"); line.startsWith("frame:") && pts > 0)
                m_pts = line.mid(pts + 4).split(' ').first().toLongLong();
            else if (line.startsWith("lavfi.signalstats.SATAVG="))
                m_frames.append({m_pts, line.mid(25).toDouble()});
        }
    }

    QProcess m_ffmpeg;
    qint64 m_pts = 0;
    QList<std::pair<qint64, double>> m_frames;
};

enum class Player { Vireo, Mpv, Underlay };

class Bench
{
public:
    Bench()
    {
        m_server.answer(u"working"_s, u"/clip.mp4"_s);
        const auto root = [this](const QString &name) { return m_home.path() + u'/' + name; };
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(u"XDG_CACHE_HOME"_s, root(u"cache"_s));
        m_env.insert(u"XDG_CONFIG_HOME"_s, root(u"config"_s));
        m_env.insert(u"XDG_DATA_HOME"_s, root(u"data"_s));
        m_env.remove(u"DBUS_SESSION_BUS_ADDRESS"_s); // every start runs alone
        writeCache(root(u"cache"_s), {{u"working.invalid"_s, m_server.base(u"working"_s)}});
        QDir().mkpath(root(u"config/Vireo"_s));
        QFile conf(root(u"config/Vireo/Vireo.conf"_s));
        if (conf.open(QIODevice::WriteOnly))
            conf.write("[General]\nlastURL=" + link().toUtf8() + "\nkeepHistory=false\n");
    }
    static QString link() { return u"https://youtu.be/"_s + Id; }
    [[nodiscard]] QString clip() const { return m_server.url(u"/clip.mp4"_s).toString(); }
    Recorder &recorder() { return m_recorder; }

    // Process start to the clip on screen, in ms; the process is ended after, or after `playing`.
    std::optional<double> start(const QString &program, const QStringList &arguments, std::chrono::milliseconds playing = {})
    {
        settle();
        QProcess process;
        const qint64 t0 = stamp();
        launch(process, program, arguments);
        const auto shown = m_recorder.first(t0, true);
        pause(playing);
        end(process);
        return trace(program + u" start"_s, shown ? std::optional((*shown - t0) / 1000.0) : std::nullopt);
    }

    // A window up for a while, given `links` links one after another: Return (or loadfile) to the clip
    // on screen for each, in ms. Between two, the window is brought back to no picture first.
    QList<double> running(Player player, int links, const QString &vireo = qEnvironmentVariable("VIREO"))
    {
        settle();
        QTemporaryDir socketDir;
        const QString socket = socketDir.path() + u"/mpv"_s;
        const bool typed = player != Player::Mpv; // a window with a link field, driven by keys
        QProcess process;
        if (player == Player::Vireo)
            launch(process, vireo, {});
        else if (player == Player::Underlay)
            launch(process, underlay(), {u"underlay"_s});
        else
            launch(process, u"mpv"_s, mpvArguments() << u"--idle=yes"_s << u"--force-window=yes"_s << u"--input-ipc-server="_s + socket);
        const QString name = player == Player::Vireo ? u"^Vireo$"_s : u"^Underlay$"_s;
        const QString link = player == Player::Vireo ? Bench::link() : clip();
        QList<double> times;
        QLocalSocket ipc;
        const qint64 window = typed ? xdo({u"search"_s, u"--sync"_s, u"--name"_s, name}).value_or(0) : 0;
        pause(2s); // past the window's first second
        if (player == Player::Underlay) { // Vireo's field starts with the last link
            xdo({u"windowfocus"_s, u"--sync"_s, QString::number(window), u"type"_s, link});
            pause(500ms);
        } else if (typed)
            xdo({u"windowfocus"_s, u"--sync"_s, QString::number(window)});
        else
            ipc.connectToServer(socket);
        for (int i = 0; i < links; ++i) {
            if (i > 0) {
                if (typed) {
                    xdo({u"key"_s, u"ctrl+l"_s, u"type"_s, u"x"_s});
                    xdo({u"key"_s, u"Return"_s});
                } else {
                    mpv(ipc, "[\"stop\"]");
                }
                if (!m_recorder.first(nowUs(), false))
                    break;
                if (typed)
                    xdo({u"key"_s, u"ctrl+l"_s, u"type"_s, link});
                pause(500ms);
            }
            const qint64 t0 = stamp();
            if (typed)
                xdo({u"key"_s, u"Return"_s});
            else
                mpv(ipc, "[\"loadfile\", \"" + clip().toUtf8() + "\"]");
            const auto shown = m_recorder.first(t0, true);
            const QString what = player == Player::Vireo ? u"vireo link"_s : player == Player::Mpv ? u"mpv loadfile"_s : u"underlay link"_s;
            if (!shown) {
                say(u"  (%1 %2: no picture after %3 s; the screen's saturation was %4)"_s.arg(what).arg(i + 1).arg(GiveUp.count()).arg(m_recorder.lastSaturation()));
                break;
            }
            times.append(*trace(what, (*shown - t0) / 1000.0));
            pause(300ms);
        }
        end(process);
        return times;
    }

    static QString underlay() { return QCoreApplication::applicationDirPath() + u"/bench_window"_s; }
    static QStringList mpvArguments() { return {u"--no-config"_s, u"--ao=pulse"_s, u"--really-quiet"_s}; }

private:
    // VIREO_BENCH_LOG names a file for what the programs write on standard error.
    void launch(QProcess &process, const QString &program, const QStringList &arguments)
    {
        process.setProcessEnvironment(m_env);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(qEnvironmentVariable("VIREO_BENCH_LOG", QProcess::nullDevice()), QIODevice::Append);
        process.start(program, arguments);
    }
    // Nothing of the last run is on screen, and nothing of it runs.
    void settle()
    {
        pause(300ms);
        m_recorder.first(nowUs(), false);
    }
    static void end(QProcess &process)
    {
        process.kill();
        process.waitForFinished();
    }
    static void mpv(QLocalSocket &ipc, const QByteArray &command)
    {
        ipc.write("{\"command\": " + command + "}\n");
        ipc.flush();
    }
    // Runs xdotool; the first number it prints, if any (a window).
    std::optional<qint64> xdo(const QStringList &arguments)
    {
        QProcess xdotool;
        xdotool.start(u"xdotool"_s, arguments);
        xdotool.waitForFinished();
        bool ok = false;
        const qint64 number = xdotool.readAllStandardOutput().split('\n').first().toLongLong(&ok);
        return ok ? std::optional(number) : std::nullopt;
    }

    TestServer m_server;
    QTemporaryDir m_home;
    QProcessEnvironment m_env;
    Recorder m_recorder;
};

QString figure(const QList<double> &ms)
{
    return ms.isEmpty() ? u"-"_s : QString::number(qRound(median(ms))) + u" ms"_s;
}

QString ratio(const QList<double> &a, const QList<double> &b)
{
    return a.isEmpty() || b.isEmpty() ? u"-"_s : QString::number(median(a) / median(b), 'f', 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = qEnvironmentVariableIntValue("RUNS") > 0 ? qEnvironmentVariableIntValue("RUNS") : 5;
    const bool withMpv = !QStandardPaths::findExecutable(u"mpv"_s).isEmpty();
    Bench bench;
    if (!bench.recorder().started()) {
        say(u"first frame: ffmpeg could not record the display"_s);
        return 1;
    }

    // The first link of a running window alone, as when comparing two builds: VIREO and VIREO_B.
    // LINKS=N times N - 1 later links of each window too.
    if (app.arguments().contains(u"first"_s)) {
        const QString builds[] = {qEnvironmentVariable("VIREO"), qEnvironmentVariable("VIREO_B")};
        const int links = std::max(1, qEnvironmentVariableIntValue("LINKS"));
        QList<double> first[3], later[3];
        for (int i = 0; i < runs; ++i) {
            for (int b = 0; b < 3; ++b) {
                if (b < 2 && builds[b].isEmpty())
                    continue;
                const QList<double> times = b < 2 ? bench.running(Player::Vireo, links, builds[b]) : bench.running(Player::Underlay, links);
                first[b].append(times.mid(0, 1));
                later[b].append(times.mid(1));
            }
        }
        say(u"first link of the process, median of %1: VIREO %2, VIREO_B %3, floor %4"_s
                .arg(runs).arg(figure(first[0]), figure(first[1]), figure(first[2])));
        if (links > 1)
            say(u"later links, median of %1: VIREO %2, VIREO_B %3, floor %4"_s
                    .arg(later[2].size()).arg(figure(later[0]), figure(later[1]), figure(later[2])));
        return 0;
    }

    // One untimed start of each first, as on a desktop where each has run before: the page cache warm,
    // and the drivers' shader caches, which are written while a program draws, not as it is killed.
    constexpr auto warm = 3s;
    bench.start(qEnvironmentVariable("VIREO"), {Bench::link()}, warm);
    bench.start(Bench::underlay(), {u"underlay"_s, bench.clip()}, warm);
    if (withMpv) {
        bench.start(u"mpv"_s, Bench::mpvArguments() << bench.clip(), warm);
        bench.start(u"mpv"_s, Bench::mpvArguments() << u"--vo=x11"_s << bench.clip(), warm);
    }

    QList<double> vireo, mpv, mpvX11, floor;
    for (int i = 0; i < runs; ++i) {
        if (const auto ms = bench.start(qEnvironmentVariable("VIREO"), {Bench::link()}))
            vireo.append(*ms);
        if (const auto ms = bench.start(Bench::underlay(), {u"underlay"_s, bench.clip()}))
            floor.append(*ms);
        if (!withMpv)
            continue;
        if (const auto ms = bench.start(u"mpv"_s, Bench::mpvArguments() << bench.clip()))
            mpv.append(*ms);
        if (const auto ms = bench.start(u"mpv"_s, Bench::mpvArguments() << u"--vo=x11"_s << bench.clip()))
            mpvX11.append(*ms);
    }
    say(u"first frame from a start with a link, median of %1: Vireo %2, mpv %3 (default output), ratio %4 (goal <= 1.0); mpv --vo=x11 %5, ratio %6 (goal <= 1.3)"_s
            .arg(runs).arg(figure(vireo), figure(mpv), ratio(vireo, mpv), figure(mpvX11), ratio(vireo, mpvX11)));
    say(u"  floor: a bare Qt Quick window showing mpv's pictures, the clip's address on its command line, %1, ratio %2"_s
            .arg(figure(floor), ratio(floor, mpv)));

    if (app.arguments().contains(u"start"_s)) // the starts alone, as when comparing two builds
        return 0;

    constexpr int Links = 4;
    QMap<Player, QList<double>> first, later;
    for (int i = 0; i < runs; ++i) {
        for (const Player player : {Player::Vireo, Player::Mpv, Player::Underlay}) {
            if (player == Player::Mpv && !withMpv)
                continue;
            const QList<double> times = bench.running(player, Links);
            first[player].append(times.mid(0, 1));
            later[player].append(times.mid(1));
        }
    }
    for (const auto &[which, times, goal] : {std::tuple{u"first link of the process"_s, first, u"1.5"_s}, std::tuple{u"later links"_s, later, u"1.3"_s}}) {
        say(u"first frame after Return in a running window, %1, median of %2: Vireo %3, mpv loadfile %4, ratio %5 (goal <= %6)"_s
                .arg(which).arg(times[Player::Vireo].size()).arg(figure(times[Player::Vireo]), figure(times[Player::Mpv]), ratio(times[Player::Vireo], times[Player::Mpv]), goal));
        say(u"  floor: a bare Qt Quick window, a new mpv core per link, %1, ratio %2"_s.arg(figure(times[Player::Underlay]), ratio(times[Player::Underlay], times[Player::Mpv])));
    }
    return 0;
}
