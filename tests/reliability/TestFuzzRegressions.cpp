// Replays every fuzz target's seed corpus (fuzz/corpus/<target>/) and every input a fuzzer once
// broke (fuzz/regressions/<target>/) through the same target function the fuzzers run, with its
// property checks: an input that failed once keeps being checked in the normal suite.
#include <QDir>
#include <QFile>
#include <QtTest>

#include <cstddef>
#include <cstdint>

int quorvelFuzz_text_to_number(const std::uint8_t* data, std::size_t size);
int quorvelFuzz_settings_file(const std::uint8_t* data, std::size_t size);
int quorvelFuzz_ftp_listing(const std::uint8_t* data, std::size_t size);
int quorvelFuzz_update_descriptor(const std::uint8_t* data, std::size_t size);

namespace {

using Target = int (*)(const std::uint8_t*, std::size_t);

struct Named {
    const char* name;
    Target run;
};
const Named kTargets[] = {
    {"text_to_number", quorvelFuzz_text_to_number},
    {"settings_file", quorvelFuzz_settings_file},
    {"ftp_listing", quorvelFuzz_ftp_listing},
    {"update_descriptor", quorvelFuzz_update_descriptor},
};

} // namespace

class TestFuzzRegressions : public QObject {
    Q_OBJECT
private slots:
    void replay_data();
    void replay();
};

void TestFuzzRegressions::replay_data() {
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("file");
    const QString fuzzDir = qEnvironmentVariable("QUORVEL_SOURCE_DIR") + QStringLiteral("/fuzz");
    int inputs = 0;
    for (int t = 0; t < int(std::size(kTargets)); ++t) {
        for (const char* kind : {"corpus", "regressions"}) {
            const QDir dir(fuzzDir + u'/' + QLatin1String(kind) + u'/' + QLatin1String(kTargets[t].name));
            for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
                QTest::addRow("%s/%s/%s", kTargets[t].name, kind, qPrintable(name)) << t << dir.filePath(name);
                ++inputs;
            }
        }
    }
    // Without the seed corpus the test would pass having checked nothing.
    QVERIFY2(inputs >= int(std::size(kTargets)), qPrintable(QStringLiteral("no inputs under ") + fuzzDir));
}

void TestFuzzRegressions::replay() {
    QFETCH(int, target);
    QFETCH(QString, file);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    // A broken property aborts the process with its description on the error output.
    QCOMPARE(kTargets[target].run(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())), 0);
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "TestFuzzRegressions.moc"
