// The cost of one log append as the log grows: it must not depend on how
// many lines came before (the log keeps its newest lines and tells views of
// the appended line only).
#include <benchmark/benchmark.h>

#include <string>

#include "framework/MessageBox.h"
#include "framework/Page.h"
#include "support/PageMirror.h"
#include "dialogs/DialogTemplates.h"
#include "res/Resource.h"

namespace {

void AppendAfter(benchmark::State& state, bool bView) {
    framework::CRecordingMessageSink sink;
    framework::CPage page(dialogs::FindDialogTemplate(res::IDD_GAME));
    page.Create(sink);
    const std::string strLine = "PlayerOne  [killed]  PlayerTwo (12/3)";
    for (int64_t n = 0; n < state.range(0); ++n) page.AppendLogLine(res::IDC_GAME_LOG, strLine);
    // A view that applies every notice, as the Qt view does; not recording.
    std::unique_ptr<testsupport::CPageMirror> pMirror;
    if (bView) pMirror = std::make_unique<testsupport::CPageMirror>(page, false);
    for (auto _ : state) page.AppendLogLine(res::IDC_GAME_LOG, strLine);
}

void BM_LogAppend(benchmark::State& state) {
    AppendAfter(state, false);
}
void BM_LogAppendWithView(benchmark::State& state) {
    AppendAfter(state, true);
}

BENCHMARK(BM_LogAppend)->Arg(10)->Arg(100000);
BENCHMARK(BM_LogAppendWithView)->Arg(10)->Arg(100000);

}  // namespace
