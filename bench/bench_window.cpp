// Costs of the main window: one keystroke until both codes are shown, and
// opening the window, each with the heap wiping the window program links
// (heap_wipe:1) and without it (heap_wipe:0). Runs on Qt's offscreen
// platform when no application exists yet.

#include "Fonts.h"
#include "FrmMain.h"
#include "GenerateCodes.h"
#include "HeapWipe.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <cstdlib>
#include <memory>

namespace {

QApplication &Application()
{
    if (auto *existing = qobject_cast<QApplication *>(QCoreApplication::instance()))
        return *existing;
    static int argc = 1;
    static char name[] = "mnemora-bench";
    static char *argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(argc, argv);
    mnemora::SetUpFonts();
    return application;
}

// Switches the heap wiping as the benchmark's argument says for its run.
struct HeapWiping {
    explicit HeapWiping(const benchmark::State &state) { mnemora::SetHeapWiping(state.range(0) != 0); }
    ~HeapWiping() { mnemora::SetHeapWiping(true); }
    HeapWiping(const HeapWiping &) = delete;
    HeapWiping &operator=(const HeapWiping &) = delete;
};

QString Str(const std::u16string &text)
{
    return QString::fromStdU16String(text);
}

// Target: well under 0.2 ms per keystroke.
void BM_KeystrokeToCodes(benchmark::State &state)
{
    Application();
    const HeapWiping wiping(state);
    mnemora::FrmMain window;
    window.show();
    QCoreApplication::processEvents();

    auto *password = window.findChild<QLineEdit *>(QStringLiteral("txtPassword"));
    auto *key = window.findChild<QLineEdit *>(QStringLiteral("txtKey"));
    auto *code16 = window.findChild<QLineEdit *>(QStringLiteral("txtCode16"));
    auto *code32 = window.findChild<QLineEdit *>(QStringLiteral("txtCode32"));
    if (!password || !key || !code16 || !code32) {
        state.SkipWithError("the window lacks its text boxes");
        return;
    }

    // Every keystroke alternately adds and removes one character of the key,
    // so every iteration derives codes different from the last ones.
    password->setText(QStringLiteral("test"));
    key->setText(QStringLiteral("taobao"));
    key->setFocus();
    key->end(false);
    const mnemora::Codes shorter = mnemora::GenerateCodes(u"test", u"taobao");
    const mnemora::Codes longer = mnemora::GenerateCodes(u"test", u"taobaox");

    QTest::keyClick(key, Qt::Key_X);
    const bool addOk = code16->text() == Str(longer.code16) && code32->text() == Str(longer.code32);
    QTest::keyClick(key, Qt::Key_Backspace);
    const bool removeOk = code16->text() == Str(shorter.code16) && code32->text() == Str(shorter.code32);
    if (!addOk || !removeOk) {
        state.SkipWithError("the window shows wrong codes");
        return;
    }

    bool add = true;
    for (auto _ : state) {
        QTest::keyClick(key, add ? Qt::Key_X : Qt::Key_Backspace);
        add = !add;
        benchmark::DoNotOptimize(code32->text().size());
    }

    const mnemora::Codes &last = add ? shorter : longer;
    if (code16->text() != Str(last.code16) || code32->text() != Str(last.code32))
        state.SkipWithError("the codes went wrong while typing");
}
BENCHMARK(BM_KeystrokeToCodes)->ArgName("heap_wipe")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Target: under 20 ms from construction to destruction.
void BM_WindowStartup(benchmark::State &state)
{
    Application();
    const HeapWiping wiping(state);
    for (auto _ : state) {
        auto window = std::make_unique<mnemora::FrmMain>();
        window->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(window.get());
        window.reset();
    }
}
BENCHMARK(BM_WindowStartup)->ArgName("heap_wipe")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The wiping's cost per block: one allocation and its free, for a string of
// a typed key (48 bytes), a line of text (1 KiB) and a picture row (64 KiB).
void BM_MallocFree(benchmark::State &state)
{
    const HeapWiping wiping(state);
    const auto size = static_cast<std::size_t>(state.range(1));
    for (auto _ : state) {
        void *block = std::malloc(size);
        benchmark::DoNotOptimize(block);
        std::free(block);
    }
}
BENCHMARK(BM_MallocFree)
    ->ArgNames({"heap_wipe", "bytes"})
    ->ArgsProduct({{0, 1}, {48, 1024, 65536}})
    ->Unit(benchmark::kNanosecond);

} // namespace
