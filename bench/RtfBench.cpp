// Reading help documents of 0.8 MB built so that every run asks for another format (fonts, colour pairs
// with equal sums, sizes, all mixed; tab stops; table widths), each timed beside the same document with
// its runs in two formats by turns. The help opens at start, so this is what a hostile Help.rtf can add to every
// start. After the run the program prints the ratios and exits non-zero when one is above its goal.

#include "HostileRtf.h"
#include "rtf/RtfReader.h"

#include <QGuiApplication>
#include <QTextDocument>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

using HostileRtf::Shape;

constexpr qsizetype kBytes = 800 * 1024;
constexpr double kGoal = 2.0;
constexpr double kHelpWidth = 685;  // pixels, the help window's text box
const Shape kShapes[] = {Shape::Fonts, Shape::ColourPairs, Shape::Sizes, Shape::Mixed, Shape::TabStops, Shape::Tables};

std::string name(const char* step, Shape shape, bool alike) {
    return std::string(step) + "_" + HostileRtf::shapeName(shape) + (alike ? "_alike" : "");
}

// Read into a fresh document, as the help window does once per load. Laying out is timed too, though
// Qt keeps the fonts it has looked up for the next round, which a start does not have.
void read(benchmark::State& s, const QByteArray& rtf, bool layout) {
    for (auto _ : s) {
        QTextDocument doc;
        if (!RtfReader::readRtf(rtf, &doc)) s.SkipWithError("not read as rich text");
        if (layout) {
            doc.setTextWidth(kHelpWidth);
            benchmark::DoNotOptimize(doc.size());
        }
        benchmark::DoNotOptimize(doc.characterCount());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!initBenchmarks(argc, argv)) return 2;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    Steps steps;
    for (const Shape shape : kShapes) {
        for (const bool alike : {true, false}) {
            const HostileRtf::Document d = HostileRtf::make(shape, kBytes, alike);
            std::printf("%-24s %lld bytes, %lld runs\n", name("", shape, alike).c_str() + 1,
                        static_cast<long long>(d.rtf.size()), static_cast<long long>(d.words.size()));
            for (const bool layout : {false, true}) {
                const QByteArray rtf = d.rtf;
                steps.addStep(name(layout ? "read_and_layout" : "read", shape, alike),
                              [rtf, layout](benchmark::State& s) { read(s, rtf, layout); });
            }
        }
    }

    CapturingReporter reporter(benchmark::CreateDefaultDisplayReporter());
    bool ok = steps.runAll(reporter);
    for (const char* step : {"read", "read_and_layout"}) {
        for (const Shape shape : kShapes) {
            const auto time = reporter.stepTime(name(step, shape, false));
            const auto base = reporter.stepTime(name(step, shape, true));
            if (!time || !base) continue;  // filtered out or failed
            const double ratio = *time / *base;
            const bool met = ratio <= kGoal;
            ok = ok && met;
            std::printf("ratio %s %s / alike (%lld KB): %.2f  (%.1f ms / %.1f ms, goal <= %g: %s)\n", step,
                        HostileRtf::shapeName(shape), static_cast<long long>(kBytes / 1024), ratio, *time, *base, kGoal,
                        met ? "met" : "MISSED");
        }
    }
    return ok ? 0 : 1;
}
