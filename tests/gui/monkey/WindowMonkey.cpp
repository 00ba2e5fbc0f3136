// Window monkey: drives each window with random but valid user input from a fixed seed (clicks and drags
// with either button, double clicks, the wheel, keys, the window's own buttons, boxes and menu commands,
// resizes) and fails on a crash, a sanitizer report or a hang. Modal windows a command opens are closed
// as soon as they show, so the run goes on; a watchdog thread ends a run that stops making progress.
//
// Usage: WindowMonkey [--window main|progress|graph|screenshot|report|stats|all] [--events N] [--seed S]
//                     [--watchdog SECONDS]
#include "app/DesktopServices.h"
#include "app/TForm1.h"
#include "archive/ArchiveDownload.h"
#include "archive/ProjectFile.h"
#include "archive/TableFill.h"
#include "base/ArchiveTable.h"
#include "base/SystemFormats.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"
#include "device/QtExchangeUi.h"
#include "device/TForm2.h"
#include "export/TForm6.h"
#include "graph/TForm4.h"
#include "graph/TStatsForm.h"
#include "screenshot/TForm5.h"
#include "sim/SimArchive.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace velda;

namespace {

struct Options {
    std::string window = "all";
    long events = 2000;
    std::uint32_t seed = 1;
    int watchdogSeconds = 60;
};

std::atomic<long> Heartbeat{0};
std::atomic<bool> MonkeyDone{false};
std::string CurrentStep; // written by the GUI thread only, read by the watchdog when it fires

// Ends the process when the GUI thread has not finished an event for `seconds`: a hang.
void Watchdog(int seconds) {
    long last = -1;
    auto since = std::chrono::steady_clock::now();
    while (!MonkeyDone.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const long now = Heartbeat.load();
        if (now != last) {
            last = now;
            since = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - since > std::chrono::seconds(seconds)) {
            std::fprintf(stderr, "monkey: hang: no progress for %d s at event %ld (%s)\n", seconds, now,
                         CurrentStep.c_str());
            std::fflush(stderr);
            std::_Exit(3);
        }
    }
}

// Closes every modal window and popup menu that is not the window under test, as a user would press
// Escape; polled from whatever event loop runs, also the nested loop of a modal window.
class ModalCloser {
public:
    explicit ModalCloser(std::function<QWidget *()> underTest) : m_underTest(std::move(underTest)) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { close(); });
        m_timer.start();
    }
    long closed = 0;

private:
    void close() {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            popup->close();
            ++closed;
        }
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_underTest()) return;
        // The progress dialog ends with its exchange; a cancel makes that happen soon.
        if (qobject_cast<TForm2 *>(modal)) {
            CancelRequested = true;
            return;
        }
        if (auto *dialog = qobject_cast<QDialog *>(modal)) {
            dialog->reject();
            ++closed;
        } else {
            modal->close();
            ++closed;
        }
    }
    std::function<QWidget *()> m_underTest;
    QTimer m_timer;
};

class Monkey {
public:
    Monkey(QWidget *window, std::uint32_t seed) : m_window(window), m_random(seed) {}

    // One random user action on the window.
    void step() {
        if (!m_window->isVisible()) m_window->show();
        QWidget *target = pickWidget();
        const QPoint p = pointIn(target);
        switch (pick(12)) {
        case 0:
        case 1:
            CurrentStep = "click";
            QTest::mouseClick(target, button(), modifiers(), p);
            break;
        case 2:
            CurrentStep = "double click";
            QTest::mouseDClick(target, button(), modifiers(), p);
            break;
        case 3:
        case 4:
            drag(target, p);
            break;
        case 5:
            wheel(target, p);
            break;
        case 6:
        case 7:
            key(target);
            break;
        case 8:
        case 9:
            control();
            break;
        case 10:
            action();
            break;
        default:
            CurrentStep = "resize";
            m_window->resize(200 + pick(1400), 150 + pick(1000));
            break;
        }
    }

private:
    int pick(int n) { return static_cast<int>(m_random() % static_cast<std::uint32_t>(n)); }

    Qt::MouseButton button() {
        static const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::LeftButton, Qt::RightButton,
                                                  Qt::MiddleButton};
        return buttons[pick(4)];
    }
    Qt::KeyboardModifiers modifiers() {
        static const Qt::KeyboardModifiers mods[] = {Qt::NoModifier,    Qt::NoModifier,      Qt::NoModifier,
                                                     Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier};
        return mods[pick(6)];
    }

    QWidget *pickWidget() {
        std::vector<QWidget *> candidates{m_window};
        for (QWidget *w : m_window->findChildren<QWidget *>())
            if (w->isVisible() && w->isEnabled() && w->width() > 0 && w->height() > 0)
                candidates.push_back(w);
        return candidates[static_cast<std::size_t>(pick(static_cast<int>(candidates.size())))];
    }
    QPoint pointIn(const QWidget *w) {
        // Mostly inside, sometimes on or just past an edge.
        const int margin = pick(8) == 0 ? 4 : 0;
        return {pick(w->width() + 2 * margin) - margin, pick(w->height() + 2 * margin) - margin};
    }

    void drag(QWidget *target, QPoint from) {
        CurrentStep = "drag";
        const Qt::MouseButton b = pick(3) == 0 ? Qt::RightButton : Qt::LeftButton;
        const Qt::KeyboardModifiers mods = modifiers();
        QTest::mousePress(target, b, mods, from);
        const int moves = 1 + pick(6);
        QPoint at = from;
        for (int i = 0; i < moves && target; ++i) {
            at = pointIn(target);
            QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(target->mapToGlobal(at)), Qt::NoButton,
                             b, mods);
            QApplication::sendEvent(target, &move);
        }
        QTest::mouseRelease(target, b, mods, at);
    }

    void wheel(QWidget *target, QPoint at) {
        CurrentStep = "wheel";
        const int delta = (pick(2) == 0 ? 1 : -1) * 120 * (1 + pick(3));
        QWheelEvent event(QPointF(at), QPointF(target->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, modifiers(), Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }

    void key(QWidget *target) {
        CurrentStep = "key";
        static const Qt::Key keys[] = {Qt::Key_Escape,  Qt::Key_Return, Qt::Key_Enter,     Qt::Key_Tab,
                                       Qt::Key_Backtab, Qt::Key_Left,   Qt::Key_Right,     Qt::Key_Up,
                                       Qt::Key_Down,    Qt::Key_PageUp, Qt::Key_PageDown,  Qt::Key_Home,
                                       Qt::Key_End,     Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_Space,
                                       Qt::Key_A,       Qt::Key_C,      Qt::Key_S,         Qt::Key_1,
                                       Qt::Key_F1,      Qt::Key_Plus,   Qt::Key_Minus,     Qt::Key_Insert};
        QWidget *receiver = QApplication::focusWidget();
        if (!receiver || !m_window->isAncestorOf(receiver)) receiver = target;
        QTest::keyClick(receiver, keys[pick(static_cast<int>(std::size(keys)))], modifiers());
    }

    // The window's own controls: buttons, boxes, lists, sliders, spin boxes.
    void control() {
        CurrentStep = "control";
        std::vector<QWidget *> controls;
        for (QWidget *w : m_window->findChildren<QWidget *>())
            if (w->isVisible() && w->isEnabled() &&
                (qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w) ||
                 qobject_cast<QAbstractSlider *>(w) || qobject_cast<QAbstractSpinBox *>(w)))
                controls.push_back(w);
        if (controls.empty()) return;
        QWidget *w = controls[static_cast<std::size_t>(pick(static_cast<int>(controls.size())))];
        CurrentStep = "control " + w->objectName().toStdString() + " " + w->metaObject()->className();
        if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            b->click();
        } else if (auto *c = qobject_cast<QComboBox *>(w)) {
            if (c->count() > 0) c->setCurrentIndex(pick(c->count()));
        } else if (auto *s = qobject_cast<QAbstractSlider *>(w)) {
            s->setValue(s->minimum() + pick(std::max(1, s->maximum() - s->minimum() + 1)));
        } else if (auto *spin = qobject_cast<QAbstractSpinBox *>(w)) {
            spin->stepBy(pick(11) - 5);
        }
    }

    // A command of the window's menus and tool bars.
    void action() {
        std::vector<QAction *> actions;
        for (QAction *a : m_window->findChildren<QAction *>())
            if (a->isEnabled() && !a->isSeparator() && !a->menu()) actions.push_back(a);
        if (actions.empty()) return;
        QAction *a = actions[static_cast<std::size_t>(pick(static_cast<int>(actions.size())))];
        CurrentStep = "action " + a->objectName().toStdString() + " " + a->text().toStdString();
        a->trigger();
    }

    QWidget *m_window;
    std::mt19937 m_random;
};

// The archive every window shows: generated quarter-hourly readings of both channels, with a series.
ArchiveTable MakeArchive() {
    std::vector<std::uint8_t> bytes;
    const auto records = sim::GenerateArchive(2, 400, 7);
    for (const auto &r : records)
        bytes.insert(bytes.end(), r.begin(), r.end());
    ArchiveTable table;
    table.setColCount(ArchiveTable::kMaxColCount);
    FillArchiveTable(table, bytes, records.size(), 2);
    RecordCount = static_cast<std::uint32_t>(records.size());
    return table;
}

void Pump() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Runs `events` actions on `window`; `tick` (may be empty) runs after each (e.g. restarts an exchange).
void RunMonkey(const char *name, QWidget *window, const Options &options,
               const std::function<void()> &tick = {}) {
    std::fprintf(stderr, "monkey: %s: %ld events from seed %u\n", name, options.events, options.seed);
    ModalCloser closer([window] { return window; });
    Monkey monkey(window, options.seed);
    window->show();
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < options.events; ++i) {
        monkey.step();
        Pump();
        if (tick) tick();
        Heartbeat.fetch_add(1);
        if ((i + 1) % 1000 == 0)
            std::fprintf(stderr, "monkey: %s: %ld events, %lld top-level widgets\n", name, i + 1,
                         static_cast<long long>(QApplication::topLevelWidgets().size()));
    }
    StopExchange(ProcessGuiEvents);
    Pump();
    if (std::getenv("VELDA_MONKEY_LIST_WINDOWS")) {
        std::map<std::string, int> kinds;
        for (QWidget *w : QApplication::topLevelWidgets())
            ++kinds[std::string(w->metaObject()->className()) + (w->isVisible() ? " shown" : " hidden")];
        for (const auto &[kind, count] : kinds)
            std::fprintf(stderr, "monkey: %s: %d x %s\n", name, count, kind.c_str());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "monkey: %s: done, %ld events in %.1f s, %ld modal windows closed\n", name,
                 options.events, seconds, closer.closed);
}

Sleeper NoSleep() {
    return [](std::chrono::milliseconds) {};
}

// The windows' services for a run: no sleeping, no error boxes, colours picked at once, pictures saved
// and settings kept in the run's folder.
WindowServices MonkeyServices(const QString &folder) {
    WindowServices services = DefaultWindowServices();
    services.sleep = NoSleep();
    services.showError = [](QWidget *, const QString &, const QString &) {};
    services.pickColour = [](const QColor &initial, QWidget *) -> std::optional<QColor> {
        return initial.darker(120);
    };
    services.runFileDialog = [folder](QFileDialog &) -> std::optional<QString> {
        return folder + QStringLiteral("/s.bmp");
    };
    services.openSettings = [folder] {
        return std::make_unique<QSettings>(folder + QStringLiteral("/settings.ini"), QSettings::IniFormat);
    };
    return services;
}

void MonkeyMain(const Options &options, const QString &projectPath, const WindowServices &services) {
    // The main window keeps every progress dialog, graph, screenshot and report window it opened until
    // it goes, as the program does until it ends; a fresh main window every few thousand events keeps a
    // long run from slowing down under thousands of hidden windows, as a restarted program would.
    constexpr long kEventsPerWindow = 2000;
    for (long done = 0, round = 0; done < options.events; done += kEventsPerWindow, ++round) {
        Options part = options;
        part.events = std::min(kEventsPerWindow, options.events - done);
        part.seed = options.seed + static_cast<std::uint32_t>(round);
        WindowServices mainServices = DefaultWindowServices();
        mainServices.sleep = services.sleep;
        mainServices.openSettings = services.openSettings;
        auto form = std::make_unique<TForm1>(nullptr, mainServices);
        form->urlOpener().replace([](const QUrl &) { return true; });
        if (!form->openProject(projectPath)) {
            std::fprintf(stderr, "monkey: the archive cannot be opened\n");
            std::exit(1);
        }
        RunMonkey("main", form.get(), part);
    }
}

void MonkeyProgress(const Options &options) {
    TForm2 form;
    ArchiveTable shown;
    auto download = std::make_shared<ArchiveDownload>(shown);
    // A download of the simulator runs under the dialog all the time; a finished one is followed by the
    // next, so the dialog sees every phase while it is poked.
    long started = 0;
    const auto restart = [&] {
        if (ExchangeRunning()) return;
        ++started;
        StopExchange(ProcessGuiEvents);
        CancelRequested = false;
        ExchangeSetup setup;
        setup.ui = &QtExchangeUi::instance();
        setup.sleeper = [](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms / 50); };
        setup.handOver = download->handOver();
        (void)StartArchiveRead(std::move(setup), form.controls());
    };
    restart();
    RunMonkey("progress", &form, options, restart);
    std::fprintf(stderr, "monkey: progress: %ld downloads ran under the dialog\n", started);
}

void MonkeyGraph(const Options &options, ArchiveTable &table, const WindowServices &services) {
    table.setChannels({true, true});
    TForm4 form(table, nullptr, services);
    RunMonkey("graph", &form, options);
}

void MonkeyStats(const Options &options, const ArchiveTable &table, const WindowServices &services) {
    TStatsForm form(table, true, true, 2, nullptr, services);
    RunMonkey("stats", &form, options);
}

void MonkeyScreenshot(const Options &options, const WindowServices &services) {
    TForm5 form(nullptr, services);
    RunMonkey("screenshot", &form, options);
}

void MonkeyReport(const Options &options, const ArchiveTable &table) {
    QWidget owner;
    auto *report = new TForm6(table, &owner);
    std::unique_ptr<QPrintPreviewDialog> preview(report->createPreviewDialog());
    RunMonkey("report", preview.get(), options);
}

Options ParseOptions(int argc, char **argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char *value = argv[i + 1];
        if (key == "--window") {
            options.window = value;
        } else if (key == "--events") {
            options.events = std::atol(value);
        } else if (key == "--seed") {
            options.seed = static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10));
        } else if (key == "--watchdog") {
            options.watchdogSeconds = std::atoi(value);
        } else {
            std::fprintf(stderr, "monkey: unknown option %s\n", key.c_str());
            std::exit(2);
        }
    }
    return options;
}

} // namespace

int main(int argc, char **argv) {
    const Options options = ParseOptions(argc, argv);
    QApplication app(argc, argv);
    LibUSB.useSimulator(true);
    SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia)));
    std::thread watchdog(Watchdog, options.watchdogSeconds);

    QTemporaryDir folder;
    ArchiveTable table = MakeArchive();
    const QString project = folder.filePath(QStringLiteral("archive.vd"));
    if (!SaveProject(table, project, ChannelFlags{true, true}).ok()) {
        std::fprintf(stderr, "monkey: the archive cannot be saved\n");
        return 1;
    }
    const auto wanted = [&](const char *name) { return options.window == "all" || options.window == name; };
    // Limits typed into the statistics window stay in this run, not in the user's settings.
    const WindowServices services = MonkeyServices(folder.path());
    if (wanted("main")) MonkeyMain(options, project, services);
    if (wanted("progress")) MonkeyProgress(options);
    if (wanted("graph")) MonkeyGraph(options, table, services);
    if (wanted("screenshot")) MonkeyScreenshot(options, services);
    if (wanted("report")) MonkeyReport(options, table);
    if (wanted("stats")) MonkeyStats(options, table, services);

    ShutdownDeviceLink(ProcessGuiEvents);
    MonkeyDone = true;
    watchdog.join();
    std::fprintf(stderr, "monkey: no finding\n");
    return 0;
}
