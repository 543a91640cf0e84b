// Speed of the text core over a 10 MB article. Every operation is meant to be linear in the text's
// length; each is measured beside single passes over the same buffer (a byte sum, a copy, a memchr scan)
// in the same run, and a closing table prints each operation's time as a multiple of both. The table
// uses CPU time: on a machine shared with builds, wall-clock times swing with the load.

#include "text/article.h"
#include "text/codepage.h"
#include "text/gbk_text.h"
#include "text/segmenter.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t ArticleBytes = 10u << 20;
constexpr int PieceSize = 76;

// A pasted article: Chinese paragraphs with full-width punctuation and indents, CR LF line ends, a
// title line, and some ASCII words and digits that preparation removes.
GbkText makeArticle() {
    const char* sentences[] = {
        "这是一个用于测试的段落，内容并没有什么特别的意义。",
        "原创度的估计依赖于搜索引擎返回的结果页面，",
        "我们把文章切成若干段落，逐段提交查询；",
        "飘红的片段越多，说明文章与网上已有的内容越相似！",
        "春天来了，万物复苏，小草从地里探出头来。",
        "２０１３年的统计数据表明，这一比例有所上升（约为百分之三十）。",
        "作者在文中引用了大量“经典”的例子，读起来颇为生动。",
        "总之，写作需要耐心与坚持……",
    };
    const char* asciiBits[] = {"2013年", " Windows 10 ", "HTML", " 3.5% ", "OK"};
    std::vector<GbkText> pool;
    for (const char* s : sentences) {
        pool.push_back(utf8ToGbk(s));
    }
    std::vector<GbkText> ascii;
    for (const char* s : asciiBits) {
        ascii.push_back(utf8ToGbk(s));
    }
    const GbkText indent = utf8ToGbk("　　");

    std::mt19937 rng(12345);
    GbkText article = "  " + utf8ToGbk("标题：原创度测试 Article") + "\r\n\r\n";
    article.reserve(ArticleBytes + 4096);
    while (article.size() < ArticleBytes) {
        article += indent;
        const int count = 5 + static_cast<int>(rng() % 8);
        for (int i = 0; i < count; ++i) {
            article += pool[rng() % pool.size()];
            if (rng() % 6 == 0) {
                article += ascii[rng() % ascii.size()];
            }
        }
        article += "\r\n";
    }
    return article + " \r\n";
}

struct Corpus {
    GbkText raw;
    GbkText prepared;
    Bytes segments;
    GbkText absentNeedle;
};

const Corpus& corpus() {
    static const Corpus c = [] {
        Corpus k;
        k.raw = makeArticle();
        k.prepared = prepareArticle(k.raw);
        k.segments = segmentText(k.prepared, PieceSize);
        k.absentNeedle = utf8ToGbk("原创度的结果并不在这里");
        if (findText(k.raw, k.absentNeedle) != -1) {
            std::fprintf(stderr, "the needle must not occur in the article\n");
            std::abort();
        }
        return k;
    }();
    return c;
}

const std::string& bufferNamed(const std::string& name) {
    const Corpus& c = corpus();
    return name == "raw" ? c.raw : name == "prepared" ? c.prepared : c.segments;
}

std::uint64_t byteSum(const std::string& b) {
    std::uint64_t sum = 0;
    for (const unsigned char c : b) {
        sum += c;
    }
    return sum;
}

void registerAll() {
    const char* buffers[] = {"raw", "prepared", "segments"};
    for (const char* buf : buffers) {
        const std::string name = buf;
        benchmark::RegisterBenchmark(("baseline_byte_sum/" + name).c_str(), [name](benchmark::State& state) {
            const std::string& b = bufferNamed(name);
            for (auto _ : state) {
                benchmark::DoNotOptimize(byteSum(b));
            }
            state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.size()));
        });
        // The floor for an operation that writes a new buffer of the same size.
        benchmark::RegisterBenchmark(("baseline_copy/" + name).c_str(), [name](benchmark::State& state) {
            const std::string& b = bufferNamed(name);
            for (auto _ : state) {
                std::string copy = b;
                benchmark::DoNotOptimize(copy.data());
            }
            state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.size()));
        });
        benchmark::RegisterBenchmark(("baseline_memchr/" + name).c_str(), [name](benchmark::State& state) {
            const std::string& b = bufferNamed(name);
            for (auto _ : state) {
                // Hide the pointer from the optimiser, or the pure call is hoisted out of the loop.
                const char* data = b.data();
                benchmark::DoNotOptimize(data);
                benchmark::DoNotOptimize(std::memchr(data, '\0', b.size()));
            }
            state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.size()));
        });
    }

    struct Op {
        const char* name;
        const char* input;
        void (*run)(const Corpus&);
    };
    static const Op ops[] = {
        {"prepareArticle", "raw",
         [](const Corpus& c) {
             benchmark::DoNotOptimize(prepareArticle(c.raw));
         }},
        {"segmentText_76", "prepared",
         [](const Corpus& c) {
             benchmark::DoNotOptimize(segmentText(c.prepared, PieceSize));
         }},
        {"splitSegments", "segments",
         [](const Corpus& c) {
             benchmark::DoNotOptimize(splitSegments(c.segments));
         }},
        {"findText_absent", "raw",
         [](const Corpus& c) {
             benchmark::DoNotOptimize(findText(c.raw, c.absentNeedle));
         }},
        {"replaceAll_CRLF", "raw",
         [](const Corpus& c) {
             benchmark::DoNotOptimize(replaceAll(c.raw, "\r\n", ""));
         }},
        {"toHalfWidth", "raw",
         [](const Corpus& c) {
             benchmark::DoNotOptimize(toHalfWidth(c.raw));
         }},
    };
    for (const Op& op : ops) {
        benchmark::RegisterBenchmark((std::string(op.name) + "/" + op.input).c_str(), [&op](benchmark::State& state) {
            const Corpus& c = corpus();
            for (auto _ : state) {
                op.run(c);
            }
            state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bufferNamed(op.input).size()));
        })->Unit(benchmark::kMillisecond);
    }
}

// The console output, then a table of every operation against the single passes over its input.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
                seconds_[run.benchmark_name()] = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-26s %8s %9s %9s %9s %7s %7s %9s\n", "operation (input)", "cpu ms", "sum ms", "copy ms",
                    "memchr ms", "x sum", "x copy", "x memchr");
        for (const auto& [name, secs] : seconds_) {
            if (name.rfind("baseline_", 0) == 0) {
                continue;
            }
            const std::string input = name.substr(name.find('/') + 1);
            auto baseline = [&](const char* kind) {
                const auto it = seconds_.find(std::string("baseline_") + kind + "/" + input);
                return it == seconds_.end() ? 0.0 : it->second;
            };
            const double sum = baseline("byte_sum");
            const double copy = baseline("copy");
            const double scan = baseline("memchr");
            auto ratio = [&](double base) {
                return base > 0 ? secs / base : 0.0;
            };
            std::printf("%-26s %8.2f %9.2f %9.2f %9.2f %7.1f %7.1f %9.1f\n", name.c_str(), secs * 1e3, sum * 1e3,
                        copy * 1e3, scan * 1e3, ratio(sum), ratio(copy), ratio(scan));
        }
        const Corpus& c = corpus();
        std::printf("\narticle %zu bytes, prepared %zu bytes, segment buffer %zu bytes, %zu segments\n", c.raw.size(),
                    c.prepared.size(), c.segments.size(), splitSegments(c.segments).size());
    }

private:
    std::map<std::string, double> seconds_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    corpus(); // built once, outside every measurement
    registerAll();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
