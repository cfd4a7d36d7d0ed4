// quorvel-bench: times the member operations of the counter on tables of 10,000 to 1,000,000
// members, each beside the same work done by the thinnest direct SQLCipher code, and prints
// ours/limit. See docs/benchmarks.md for what each row means and the results.
//
//   quorvel-bench [--sizes=10000,100000[,1000000]] [--cache=DIR] [--smoke]
//                 [--startup-runs=N] [--no-startup] [--no-memory] [benchmark flags...]
#include "bench/BenchData.h"
#include "bench/Probes.h"

#include "config/Dialogs.h"
#include "config/RunDirectory.h"
#include "members/AddOperations.h"
#include "members/AddPage.h"
#include "members/ListLoader.h"
#include "members/MemberListModel.h"
#include "members/MemberQuery.h"
#include "members/MemberTable.h"
#include "members/MemberWorker.h"
#include "members/SwipePage.h"
#include "store/RecordStore.h"
#include "text/Gbk.h"
#include "ui_AddPage.h"
#include "ui_SwipePage.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace quorvel;
using namespace quorvel::bench;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// One timed run of a step: its time, the longest the GUI thread went without running its
// event loop (where that is measured), or what went wrong.
struct Sample {
    double seconds = 0;
    double stallMs = -1;
    std::string error;
};
using Step = std::function<Sample()>;

Sample took(double secs, double stallMs = -1) {
    Sample s;
    s.seconds = secs;
    s.stallMs = stallMs;
    return s;
}

Sample failed(const std::string& why) {
    Sample s;
    s.error = why;
    return s;
}

// The message boxes the operations ask for, answered at once (OK) and timed.
struct Messages {
    std::vector<std::pair<QString, Clock::time_point>> seen;
    void clear() { seen.clear(); }
    const Clock::time_point* at(const QString& text) const {
        for (const auto& [t, when] : seen)
            if (t == text)
                return &when;
        return nullptr;
    }
    std::string all() const {
        QStringList texts;
        for (const auto& m : seen)
            texts.append(m.first);
        return texts.join(QStringLiteral(" | ")).toStdString();
    }
};
Messages g_messages;

// Records the longest gap between two ticks of a fast timer on the GUI thread.
class StallProbe {
public:
    StallProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start() {
        m_last = Clock::now();
        m_max = 0;
        m_timer.start();
    }
    double stopMs() {
        tick();
        m_timer.stop();
        return m_max * 1000.0;
    }

private:
    void tick() {
        const Clock::time_point now = Clock::now();
        m_max = std::max(m_max, seconds(m_last, now));
        m_last = now;
    }
    QTimer m_timer;
    Clock::time_point m_last;
    double m_max = 0;
};

struct Size {
    int n = 0;
    QString runDir;
    QString file;
    Targets t;
    DirectTable direct;
};

struct Pages {
    std::unique_ptr<AddPage> add;
    std::unique_ptr<SwipePage> swipe;
};
Pages g_pages;

// Makes this size's table the program's current one, as an operation would find it.
bool useSize(Size& s) {
    RecordStore& store = RecordStore::instance();
    if (runDirectory() != s.runDir) {
        g_pages.add->endListLoad();
        MemberWorker::instance().waitIdle();
        store.closeAll();
        setRunDirectory(s.runDir);
    }
    if (!s.direct.isOpen() && !s.direct.open(s.file))
        return false;
    return members::openMemberTableQuietly() == members::OpenResult::Ready;
}

std::vector<QByteArray> g_values;

// --- the steps, ours and the limit ---------------------------------------------------------

Sample openOurs(Size& s) {
    if (!useSize(s))
        return failed("cannot open the table");
    RecordStore::instance().closeAll();
    const auto t0 = Clock::now();
    const members::OpenResult r = members::openMemberTableQuietly();
    const auto t1 = Clock::now();
    if (r != members::OpenResult::Ready)
        return failed("openMemberTable failed");
    return took(seconds(t0, t1));
}

// The first open of the file in a session: a store that has not seen it yet.
Sample openFirstOurs(Size& s) {
    RecordStore fresh;
    const auto t0 = Clock::now();
    const bool ok = fresh.openReplacingCurrent(s.file, kTablePassword);
    const auto t1 = Clock::now();
    return ok ? took(seconds(t0, t1)) : failed("first open failed");
}

Sample openLimit(Size& s) {
    DirectTable d;
    const auto t0 = Clock::now();
    const bool ok = d.open(s.file);
    const auto t1 = Clock::now();
    return ok ? took(seconds(t0, t1)) : failed("direct open failed");
}

Sample cardCheckOurs(Size& s, const QString& card, int expected) {
    if (!useSize(s))
        return failed("cannot open the table");
    const auto t0 = Clock::now();
    const members::CardLookup l = members::lookUpCard(card);
    const auto t1 = Clock::now();
    if ((l.member ? l.member->record : 0) != expected)
        return failed("card check found the wrong member");
    return took(seconds(t0, t1));
}

Sample swipeLookupOurs(Size& s, const QString& card, bool present) {
    if (!useSize(s))
        return failed("cannot open the table");
    Ui::SwipePage& ui = g_pages.swipe->ui();
    ui.选择框_自动刷卡->setChecked(false);
    ui.编辑框_刷卡号->setText(card);
    g_messages.clear();
    const auto t0 = Clock::now();
    g_pages.swipe->swipeLookup();
    const auto t1 = Clock::now();
    if (g_pages.swipe->swipeList().rowCount() != (present ? 1 : 0) || !g_messages.seen.empty())
        return failed("swipe lookup showed the wrong result: " + g_messages.all());
    return took(seconds(t0, t1));
}

Sample lookupLimit(Size& s, int column, const QString& value, int expected) {
    if (!s.direct.isOpen() && !s.direct.open(s.file))
        return failed("direct open failed");
    const auto t0 = Clock::now();
    const int rn = s.direct.findFirst(column, toGbk(value), &g_values);
    const auto t1 = Clock::now();
    return rn == expected ? took(seconds(t0, t1)) : failed("direct lookup found the wrong record");
}

const QString kSwipeDone = QStringLiteral("刷卡成功");

Sample chargeCountOurs(Size& s) {
    if (!useSize(s))
        return failed("cannot open the table");
    Ui::SwipePage& ui = g_pages.swipe->ui();
    // Automatic swiping: the count card is charged as soon as its number is entered.
    ui.选择框_自动刷卡->setChecked(true);
    ui.编辑框_刷卡号->setText(s.t.countCard);
    g_messages.clear();
    const auto t0 = Clock::now();
    g_pages.swipe->swipeLookup();
    const Clock::time_point* done = g_messages.at(kSwipeDone);
    if (!done)
        return failed("count charge did not succeed: " + g_messages.all());
    return took(seconds(t0, *done));
}

Sample chargeMoneyOurs(Size& s) {
    if (!useSize(s))
        return failed("cannot open the table");
    Ui::SwipePage& ui = g_pages.swipe->ui();
    ui.选择框_自动刷卡->setChecked(false);
    ui.编辑框_刷卡号->setText(s.t.moneyCard);
    ui.编辑框_刷去金额->setText(QStringLiteral("1"));
    g_messages.clear();
    const auto t0 = Clock::now();
    g_pages.swipe->manualSwipe();
    const Clock::time_point* done = g_messages.at(kSwipeDone);
    if (!done)
        return failed("money charge did not succeed: " + g_messages.all());
    return took(seconds(t0, *done));
}

// The thinnest complete charge: the indexed lookup, then one UPDATE transaction.
Sample chargeLimit(Size& s, const QString& card, int counted, int step) {
    if (!s.direct.isOpen() && !s.direct.open(s.file))
        return failed("direct open failed");
    const auto t0 = Clock::now();
    const int rn = s.direct.findFirst(ColCard, toGbk(card), &g_values);
    if (rn <= 0)
        return failed("direct lookup found nothing");
    const QByteArray swipes = QByteArray::number(g_values[ColSwipes - 1].toDouble() + 1);
    const QByteArray left = QByteArray::number(g_values[counted - 1].toDouble() - step);
    const bool ok = s.direct.update2(rn, ColSwipes, swipes, counted, left);
    const auto t1 = Clock::now();
    return ok ? took(seconds(t0, t1)) : failed("direct charge failed: " + s.direct.error().toStdString());
}

Sample topUpOurs(Size& s) {
    if (!useSize(s))
        return failed("cannot open the table");
    AddPage& page = *g_pages.add;
    Ui::AddPage& ui = page.ui();
    // The card check first, as the operator's Enter in the card box runs it: top-up mode.
    ui.编辑框_入会卡号->setText(s.t.topUpCard);
    page.checkCardNumber();
    page.settleCardChecks();
    if (ui.按钮_添加会员->text() != AddPage::kTopUpCaption)
        return failed("the card check did not recognise the member");
    ui.编辑框_入金额->setText(QStringLiteral("10"));
    g_messages.clear();
    const auto t0 = Clock::now();
    page.addOrTopUp();
    const Clock::time_point* done = g_messages.at(QStringLiteral("充值成功"));
    Sample r = done ? took(seconds(t0, *done)) : failed("top-up did not succeed: " + g_messages.all());
    // The top-up starts a list reload; it belongs to the next screen, not to this step.
    page.endListLoad();
    return r;
}

Sample topUpLimit(Size& s) {
    if (!s.direct.isOpen() && !s.direct.open(s.file))
        return failed("direct open failed");
    const int rn = s.t.topUpRecord;
    const auto t0 = Clock::now();
    if (!s.direct.readRecord(rn, &g_values) || g_values[ColCard - 1] != toGbk(s.t.topUpCard))
        return failed("direct read failed");
    const bool ok = s.direct.update2(rn, ColBalance, QByteArray::number(g_values[ColBalance - 1].toDouble() + 10),
                                     ColPoints, QByteArray::number(g_values[ColPoints - 1].toDouble() + 10));
    const auto t1 = Clock::now();
    return ok ? took(seconds(t0, t1)) : failed("direct top-up failed");
}

Sample queryOurs(Size& s, int kind, const QString& text, int expected) {
    if (!useSize(s))
        return failed("cannot open the table");
    const std::atomic<bool> cancelled{false};
    members::QueryStep last;
    const auto t0 = Clock::now();
    members::runMemberQuery(kind, text, cancelled, [&](members::QueryStep step) { last = std::move(step); });
    const auto t1 = Clock::now();
    const int found = last.kind == members::QueryStep::Found ? last.record : 0;
    if (found != expected || (expected == 0 && last.kind != members::QueryStep::NotFound))
        return failed("query gave the wrong result");
    return took(seconds(t0, t1));
}

// The toolbar's load: on the member worker, the list view filled batch by batch.
Sample loadOurs(Size& s) {
    if (!useSize(s))
        return failed("cannot open the table");
    AddPage& page = *g_pages.add;
    MemberListModel* list = page.memberList();
    page.endListLoad();
    QCoreApplication::sendPostedEvents();
    list->clear();
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    const QMetaObject::Connection done = QObject::connect(list, &QAbstractItemModel::rowsInserted, [&] {
        if (list->rowCount() >= s.n)
            loop.quit();
    });
    StallProbe probe;
    probe.start();
    guard.start(600000);
    const auto t0 = Clock::now();
    page.restartListLoad();
    if (list->rowCount() < s.n)
        loop.exec();
    const auto t1 = Clock::now();
    const Sample r = took(seconds(t0, t1), probe.stopMs());
    QObject::disconnect(done);
    if (list->rowCount() != s.n || page.ui().透明标签_会员加载数据->text() != kLoadedText)
        return failed("the list load did not complete");
    return r;
}

// The same load run directly on the GUI thread (after a redemption, a change, a removal).
Sample loadNowOurs(Size& s) {
    if (!useSize(s))
        return failed("cannot open the table");
    AddPage& page = *g_pages.add;
    page.endListLoad();
    QCoreApplication::sendPostedEvents();
    page.memberList()->clear();
    StallProbe probe;
    probe.start();
    const auto t0 = Clock::now();
    page.loadMemberListNow();
    const auto t1 = Clock::now();
    const Sample r = took(seconds(t0, t1), probe.stopMs());
    if (page.memberList()->rowCount() != s.n)
        return failed("the list load did not complete");
    return r;
}

Sample loadLimit(Size& s) {
    if (!s.direct.isOpen() && !s.direct.open(s.file))
        return failed("direct open failed");
    qint64 bytes = 0;
    const auto t0 = Clock::now();
    const int rows = s.direct.scanAll(&bytes);
    const auto t1 = Clock::now();
    benchmark::DoNotOptimize(bytes);
    return rows == s.n ? took(seconds(t0, t1)) : failed("direct scan read the wrong count");
}

// --- registration and the summary ----------------------------------------------------------

struct Row {
    std::string step;
    int n = 0;
    std::string name; // the benchmark's
};
std::vector<Row> g_rows;

struct Result {
    double seconds = -1;
    double limitSeconds = -1;
    double stallMs = -1;
    std::string error;
};
std::map<std::string, Result> g_results;
std::map<std::string, std::vector<Result>> g_samples;

// One benchmark per step: each iteration runs ours and the limit, in alternating order, so
// both see the same machine (this one is shared); ours is the benchmark's time, the limit and
// the ratio are counters.
void addPair(Size& s, const std::string& step, Step ours, Step limit, benchmark::TimeUnit unit) {
    const std::string name = step + "/" + std::to_string(s.n);
    g_rows.push_back(Row{step, s.n, name});
    benchmark::RegisterBenchmark(name.c_str(), [ours, limit](benchmark::State& state) {
        double stall = -1, oursTotal = 0, limitTotal = 0;
        bool oursFirst = true;
        for (auto _ : state) {
            Sample a, b;
            if (oursFirst) {
                a = ours();
                b = limit();
            } else {
                b = limit();
                a = ours();
            }
            oursFirst = !oursFirst;
            if (!a.error.empty() || !b.error.empty()) {
                state.SkipWithError((a.error.empty() ? b.error : a.error).c_str());
                break;
            }
            state.SetIterationTime(a.seconds);
            oursTotal += a.seconds;
            limitTotal += b.seconds;
            stall = std::max(stall, a.stallMs);
        }
        if (state.iterations() == 0 || limitTotal <= 0)
            return;
        state.counters["limit_us"] = limitTotal / double(state.iterations()) * 1e6;
        state.counters["ratio"] = oursTotal / limitTotal;
        if (stall >= 0)
            state.counters["gui_stall_ms"] = stall;
    })->UseManualTime()->Unit(unit);
}

void registerSize(Size& s) {
    const Targets& t = s.t;
    using benchmark::kMicrosecond;
    using benchmark::kMillisecond;
    addPair(s, "open thy.dat, first time", [&s] { return openFirstOurs(s); }, [&s] { return openLimit(s); },
            kMillisecond);
    addPair(s, "open thy.dat, checked before", [&s] { return openOurs(s); }, [&s] { return openLimit(s); },
            kMillisecond);
    addPair(s, "card check lookup, near the end", [&s, &t] { return cardCheckOurs(s, t.countCard, t.countRecord); },
            [&s, &t] { return lookupLimit(s, ColCard, t.countCard, t.countRecord); }, kMicrosecond);
    addPair(s, "card check lookup, absent", [&s, &t] { return cardCheckOurs(s, t.absentCard, 0); },
            [&s, &t] { return lookupLimit(s, ColCard, t.absentCard, 0); }, kMicrosecond);
    addPair(s, "swipe lookup, near the end", [&s, &t] { return swipeLookupOurs(s, t.countCard, true); },
            [&s, &t] { return lookupLimit(s, ColCard, t.countCard, t.countRecord); }, kMicrosecond);
    addPair(s, "swipe lookup, absent", [&s, &t] { return swipeLookupOurs(s, t.absentCard, false); },
            [&s, &t] { return lookupLimit(s, ColCard, t.absentCard, 0); }, kMicrosecond);
    addPair(s, "count-card charge", [&s] { return chargeCountOurs(s); },
            [&s, &t] { return chargeLimit(s, t.countCard, ColVisits, 1); }, kMillisecond);
    addPair(s, "money-card charge", [&s] { return chargeMoneyOurs(s); },
            [&s, &t] { return chargeLimit(s, t.moneyCard, ColBalance, 1); }, kMillisecond);
    addPair(s, "top-up", [&s] { return topUpOurs(s); }, [&s] { return topUpLimit(s); }, kMillisecond);
    addPair(s, "query by name", [&s, &t] { return queryOurs(s, members::QueryByName, t.queryName, t.queryRecord); },
            [&s, &t] { return lookupLimit(s, ColName, t.queryName, t.queryRecord); }, kMicrosecond);
    addPair(s, "query by phone", [&s, &t] { return queryOurs(s, members::QueryByPhone, t.queryPhone, t.queryRecord); },
            [&s, &t] { return lookupLimit(s, ColPhone, t.queryPhone, t.queryRecord); }, kMicrosecond);
    addPair(s, "query by name, absent", [&s, &t] { return queryOurs(s, members::QueryByName, t.absentName, 0); },
            [&s, &t] { return lookupLimit(s, ColName, t.absentName, 0); }, kMicrosecond);
    addPair(s, "loadMemberList (worker)", [&s] { return loadOurs(s); }, [&s] { return loadLimit(s); }, kMillisecond);
    addPair(s, "loadMemberList (GUI thread)", [&s] { return loadNowOurs(s); }, [&s] { return loadLimit(s); },
            kMillisecond);
}

// Keeps the console output and collects the medians (or single runs) for the summary.
class Collector : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, as the library's own console output does.
    Collector() : ConsoleReporter(::isatty(1) ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            const std::string name = r.run_name.function_name;
            Result res;
            if (r.error_occurred) {
                res.error = r.error_message;
                g_results[name] = res;
                continue;
            }
            res.seconds = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
            if (const auto c = r.counters.find("gui_stall_ms"); c != r.counters.end())
                res.stallMs = c->second.value;
            if (const auto c = r.counters.find("limit_us"); c != r.counters.end())
                res.limitSeconds = c->second.value / 1e6;
            if (r.run_type == Run::RT_Aggregate) {
                if (r.aggregate_name == "median")
                    g_results[name] = res;
            } else {
                g_samples[name].push_back(res);
            }
        }
    }
};

Result resultOf(const std::string& name) {
    const auto it = g_results.find(name);
    if (it != g_results.end())
        return it->second;
    auto samples = g_samples[name];
    if (samples.empty())
        return {};
    std::sort(samples.begin(), samples.end(), [](const Result& a, const Result& b) { return a.seconds < b.seconds; });
    return samples[samples.size() / 2];
}

std::string timeText(double s) {
    char buf[64];
    if (s < 0)
        return "-";
    if (s < 1e-3)
        std::snprintf(buf, sizeof buf, "%.1f us", s * 1e6);
    else if (s < 1)
        std::snprintf(buf, sizeof buf, "%.2f ms", s * 1e3);
    else
        std::snprintf(buf, sizeof buf, "%.2f s", s);
    return buf;
}

// Returns the number of steps that failed.
int printSummary() {
    int failures = 0;
    std::printf("\n%-34s %9s %11s %11s %8s %12s\n", "step", "members", "ours", "limit", "ratio", "GUI stall");
    for (const Row& row : g_rows) {
        const Result r = resultOf(row.name);
        if (r.error.empty() && r.seconds < 0)
            continue; // left out by --benchmark_filter
        if (!r.error.empty()) {
            ++failures;
            std::printf("%-34s %9d  FAILED: %s\n", row.step.c_str(), row.n, r.error.c_str());
            continue;
        }
        char ratio[32] = "-";
        if (r.seconds > 0 && r.limitSeconds > 0)
            std::snprintf(ratio, sizeof ratio, "%.2f", r.seconds / r.limitSeconds);
        char stall[32] = "";
        if (r.stallMs >= 0)
            std::snprintf(stall, sizeof stall, "%.1f ms", r.stallMs);
        std::printf("%-34s %9d %11s %11s %8s %12s\n", row.step.c_str(), row.n, timeText(r.seconds).c_str(),
                    timeText(r.limitSeconds).c_str(), ratio, stall);
    }
    return failures;
}

struct Options {
    std::vector<int> sizes{10000, 100000};
    QString cache = QStringLiteral("/tmp/quorvel-bench-cache");
    bool smoke = false;
    bool startup = true;
    bool memory = true;
    int startupRuns = 7;
    QString memoryProbe;
    std::vector<char*> rest; // for the benchmark library
};

Options parse(int argc, char** argv) {
    Options o;
    o.rest.push_back(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a.startsWith(QLatin1String("--sizes="))) {
            o.sizes.clear();
            for (const QString& v : a.mid(8).split(QLatin1Char(','), Qt::SkipEmptyParts))
                o.sizes.push_back(v.toInt());
        } else if (a.startsWith(QLatin1String("--cache="))) {
            o.cache = a.mid(8);
        } else if (a == QLatin1String("--smoke")) {
            o.smoke = true;
        } else if (a == QLatin1String("--no-startup")) {
            o.startup = false;
        } else if (a == QLatin1String("--no-memory")) {
            o.memory = false;
        } else if (a.startsWith(QLatin1String("--startup-runs="))) {
            o.startupRuns = a.mid(15).toInt();
        } else if (a.startsWith(QLatin1String("--memory-probe="))) {
            o.memoryProbe = a.mid(15);
        } else {
            o.rest.push_back(argv[i]);
        }
    }
    return o;
}

bool hasFlag(const std::vector<char*>& args, const char* prefix) {
    return std::any_of(args.begin(), args.end(), [prefix](const char* a) { return std::strncmp(a, prefix, std::strlen(prefix)) == 0; });
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Options opt = parse(argc, argv);
    QApplication app(argc, argv);

    if (!opt.memoryProbe.isEmpty())
        return runMemoryProbe(opt.memoryProbe);

    if (opt.smoke) {
        opt.sizes = {10000};
        opt.startupRuns = 1;
    }
    static char minTime[] = "--benchmark_min_time=0.01";
    static char oneRepetition[] = "--benchmark_repetitions=1";
    static char repetitions[] = "--benchmark_repetitions=5";
    static char aggregatesOnly[] = "--benchmark_display_aggregates_only=true";
    if (opt.smoke) {
        if (!hasFlag(opt.rest, "--benchmark_min_time"))
            opt.rest.push_back(minTime);
        if (!hasFlag(opt.rest, "--benchmark_repetitions"))
            opt.rest.push_back(oneRepetition);
    } else if (!hasFlag(opt.rest, "--benchmark_repetitions")) {
        opt.rest.push_back(repetitions);
        opt.rest.push_back(aggregatesOnly);
    }
    int benchArgc = int(opt.rest.size());
    benchmark::Initialize(&benchArgc, opt.rest.data());
    if (benchmark::ReportUnrecognizedArguments(benchArgc, opt.rest.data()))
        return 2;

    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/quorvel-bench-run-XXXXXX"));
    std::vector<std::unique_ptr<Size>> sizes;
    for (int n : opt.sizes) {
        if (n < 20) {
            std::fprintf(stderr, "size %d is too small\n", n);
            return 2;
        }
        auto s = std::make_unique<Size>();
        s->n = n;
        s->t = targetsFor(n);
        const QString cached = cachedMemberTable(opt.cache, n);
        if (cached.isEmpty())
            return 1;
        // The charges write: work on a copy, so the cached table stays as it was made.
        s->runDir = work.filePath(QString::number(n));
        s->file = s->runDir + QStringLiteral("/thy.dat");
        if (!QDir().mkpath(s->runDir) || !QFile::copy(cached, s->file)) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(cached));
            return 1;
        }
        sizes.push_back(std::move(s));
    }

    setMessageHookForTesting([](QWidget*, const QString& text, MessageIcon, bool) {
        g_messages.seen.emplace_back(text, Clock::now());
        return true;
    });
    g_pages.add = std::make_unique<AddPage>();
    g_pages.swipe = std::make_unique<SwipePage>();
    g_pages.add->show();
    g_pages.swipe->show();
    QCoreApplication::processEvents();

    for (auto& s : sizes)
        registerSize(*s);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();

    g_pages.add->endListLoad();
    MemberWorker::instance().waitIdle();
    QCoreApplication::sendPostedEvents();
    g_pages.swipe.reset();
    g_pages.add.reset();
    RecordStore::instance().closeAll();
    for (auto& s : sizes)
        s->direct.close();

    int failures = printSummary();

    if (opt.memory) {
        std::printf("\n%-34s %9s %11s %11s %11s\n", "peak memory after the load", "members", "VmHWM", "before load",
                    "load time");
        for (auto& s : sizes) {
            const MemoryResult m = measureMemory(s->runDir, s->n);
            if (!m.ok) {
                ++failures;
                std::printf("%-34s %9d  FAILED: %s\n", "", s->n, qPrintable(m.error));
                continue;
            }
            std::printf("%-34s %9d %8.1f MB %8.1f MB %11s\n", "", s->n, m.peakKb / 1024.0, m.beforeKb / 1024.0,
                        timeText(m.loadSeconds).c_str());
        }
    }
    if (opt.startup) {
        const StartupResult st = measureStartup(work.filePath(QStringLiteral("startup")), opt.startupRuns);
        if (!st.ok) {
            ++failures;
            std::printf("\nstart-up to the login window: FAILED: %s\n", qPrintable(st.error));
        } else {
            std::printf("\nstart-up to the login window: median %s over %d runs (first run %s)\n",
                        timeText(st.medianSeconds).c_str(), st.runs, timeText(st.firstSeconds).c_str());
        }
    }
    return failures == 0 ? 0 : 1;
}
