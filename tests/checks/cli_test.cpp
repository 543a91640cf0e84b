// The command-line checker: what its arguments mean, how it reads the article, its outputs, its runs
// in process, and the built executable against a local server.

#include "checks_test_support.h"

#include "app/cli_options.h"
#include "app/cli_report.h"
#include "app/cli_run.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <atomic>
#include <set>

namespace {

using namespace std::chrono_literals;

// ---- Arguments ------------------------------------------------------------------------------

TEST(CliArguments, Valid) {
    using V = std::vector<std::string>;
    struct Case {
        const char* name;
        V args;
        std::function<void(const CliOptions&)> check;
    };
    const Case cases[] = {
        {"defaults",
         {},
         [](const CliOptions& o) {
             EXPECT_EQ(o.engines, (V{"baidu", "google", "360", "sogou"}));
             EXPECT_FALSE(o.segmentLength);
             EXPECT_EQ(o.encoding, InputEncoding::Auto);
             EXPECT_EQ(o.format, OutputFormat::Text);
             EXPECT_EQ(o.onBlock, BlockAnswer::Stop);
             EXPECT_TRUE(o.engineHosts.empty());
             EXPECT_EQ(o.input, "-");
         }},
        {"engines listed in any order run and print in the profiles' order",
         {"--engines", "sogou,baidu,360,baidu"},
         [](const CliOptions& o) {
             EXPECT_EQ(o.engines, (V{"baidu", "360", "sogou"}));
         }},
        {"every option, both spellings",
         {"--segment-length=20", "--encoding", "gbk", "--format=json", "--on-block", "continue", "--engine-host",
          "google=127.0.0.1:8080", "--engine-host=360=mirror.example", "article.txt"},
         [](const CliOptions& o) {
             EXPECT_EQ(o.segmentLength, 20);
             EXPECT_EQ(o.encoding, InputEncoding::Gbk);
             EXPECT_EQ(o.format, OutputFormat::Json);
             EXPECT_EQ(o.onBlock, BlockAnswer::Continue);
             EXPECT_EQ(o.engineHosts.at("google"), "127.0.0.1:8080");
             EXPECT_EQ(o.engineHosts.at("360"), "mirror.example");
             EXPECT_EQ(o.input, "article.txt");
         }},
        {"csv, utf-8, ipv6 host",
         {"--format", "csv", "--encoding", "utf-8", "--engine-host", "sogou=[::1]:81", "-"},
         [](const CliOptions& o) {
             EXPECT_EQ(o.format, OutputFormat::Csv);
             EXPECT_EQ(o.encoding, InputEncoding::Utf8);
             EXPECT_EQ(o.engineHosts.at("sogou"), "[::1]:81");
             EXPECT_EQ(o.input, "-");
         }},
        {"a file named like an option after --",
         {"--", "--format"},
         [](const CliOptions& o) {
             EXPECT_EQ(o.input, "--format");
         }},
        {"help",
         {"--help"},
         [](const CliOptions& o) {
             EXPECT_TRUE(o.help);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedCommandLine parsed = parseCommandLine(c.args);
        ASSERT_TRUE(parsed.options) << parsed.error;
        c.check(*parsed.options);
    }
}

TEST(CliArguments, WrongOnesAreExplained) {
    using V = std::vector<std::string>;
    struct Case {
        V args;
        const char* says;
    };
    const Case cases[] = {
        {{"--engines", "bing"}, "unknown engine 'bing'"},
        {{"--engines", ""}, "unknown engine ''"},
        {{"--engines"}, "needs a value"},
        {{"--segment-length", "0"}, "--segment-length"},
        {{"--segment-length", "-3"}, "--segment-length"},
        {{"--segment-length", "12a"}, "--segment-length"},
        {{"--encoding", "latin1"}, "--encoding"},
        {{"--format", "xml"}, "--format"},
        {{"--on-block", "retry"}, "--on-block"},
        {{"--engine-host", "bing=127.0.0.1"}, "ENGINE=HOST"},
        {{"--engine-host", "baidu"}, "ENGINE=HOST"},
        {{"--engine-host", "baidu=host/path"}, "not a host name"},
        {{"--engine-host", "baidu=127.0.0.1:0"}, "not a host name"},
        {{"--engine-host", "baidu=127.0.0.1:70000"}, "not a host name"},
        {{"--engine-host", "baidu="}, "not a host name"},
        {{"--verbose"}, "unknown option '--verbose'"},
        {{"a.txt", "b.txt"}, "more than one input file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string() : c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        const ParsedCommandLine parsed = parseCommandLine(c.args);
        EXPECT_FALSE(parsed.options);
        EXPECT_NE(parsed.error.find(c.says), std::string::npos) << parsed.error;
    }
}

TEST(CliArguments, ArticleEncodings) {
    const std::string utf8 = "中文，abc";
    const GbkText gb = gbk(utf8);
    struct Case {
        const char* name;
        std::string bytes;
        InputEncoding encoding;
        GbkText article;
    };
    const Case cases[] = {
        {"auto, utf-8", utf8, InputEncoding::Auto, gb},
        {"auto, utf-8 with a byte order mark", "\xEF\xBB\xBF" + utf8, InputEncoding::Auto, gb},
        {"auto, gbk (not valid utf-8)", gb, InputEncoding::Auto, gb},
        {"gbk as told", gb, InputEncoding::Gbk, gb},
        {"utf-8 as told", utf8, InputEncoding::Utf8, gb},
        {"utf-8 as told, but gbk: not characters", gb, InputEncoding::Utf8, utf8ToGbk(gb)},
        {"a zero byte ends the text", utf8 + std::string(1, '\0') + "x", InputEncoding::Auto, gb},
        {"empty", "", InputEncoding::Auto, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(articleFromBytes(c.bytes, c.encoding), c.article);
    }
}

// ---- Outputs --------------------------------------------------------------------------------

CheckReport sampleReport() {
    CheckReport report;
    report.articleChars = 21;
    EngineResult baidu;
    baidu.key = "baidu";
    baidu.tabText = gbk("百度");
    baidu.outcome = RunOutcome::Scored;
    baidu.score = "66.67%";
    baidu.grade = gbk("已经合格，有待提升");
    baidu.segments = {{1, gbk("春眠\r\n不觉晓"), 1, GbkText("http://h/s?wd=%B4%BA")},
                      {2, gbk("处处\"闻\",啼鸟"), 0, GbkText("http://h/s?wd=%B4%A6,x")},
                      {3, gbk("夜来"), std::nullopt, std::nullopt}};
    EngineResult sogou;
    sogou.key = "sogou";
    sogou.tabText = gbk("搜狗");
    sogou.outcome = RunOutcome::Cancelled;
    sogou.segments = {{1, gbk("春眠"), std::nullopt, std::nullopt}};
    sogou.blockedAddress = "http://h/web?query=x";
    EngineResult so360;
    so360.key = "360";
    so360.tabText = "360";
    so360.outcome = RunOutcome::NoText;
    report.engines = {baidu, so360, sogou};
    return report;
}

TEST(CliOutput, Json) {
    EXPECT_EQ(
        formatJson(sampleReport()),
        "{\"article_chars\": 21, \"engines\": ["
        "{\"engine\": \"baidu\", \"status\": \"scored\", \"score\": \"66.67%\", \"grade\": \"已经合格，有待提升\", "
        "\"segments\": ["
        "{\"row\": 1, \"text\": \"春眠\\r\\n不觉晓\", \"hits\": 1, \"address\": \"http://h/s?wd=%B4%BA\"}, "
        "{\"row\": 2, \"text\": \"处处\\\"闻\\\",啼鸟\", \"hits\": 0, \"address\": \"http://h/s?wd=%B4%A6,x\"}, "
        "{\"row\": 3, \"text\": \"夜来\", \"hits\": null, \"address\": null}]}, "
        "{\"engine\": \"360\", \"status\": \"no-text\", \"score\": null, \"grade\": null, \"segments\": []}, "
        "{\"engine\": \"sogou\", \"status\": \"cancelled\", \"score\": null, \"grade\": null, \"segments\": ["
        "{\"row\": 1, \"text\": \"春眠\", \"hits\": null, \"address\": null}]}]}\n");
}

TEST(CliOutput, Csv) {
    EXPECT_EQ(formatCsv(sampleReport()), "engine,row,text,hits,address\r\n"
                                         "baidu,1,\"春眠\r\n不觉晓\",1,http://h/s?wd=%B4%BA\r\n"
                                         "baidu,2,\"处处\"\"闻\"\",啼鸟\",0,\"http://h/s?wd=%B4%A6,x\"\r\n"
                                         "baidu,3,夜来,,\r\n"
                                         "sogou,1,春眠,,\r\n");
}

TEST(CliOutput, TextShowsRowsValueAndGrade) {
    const std::string text = formatText(sampleReport());
    for (const char* expected :
         {"百度 (baidu)", "     1     1  春眠↵不觉晓", "http://h/s?wd=%B4%BA", "     3     -  夜来",
          "Originality: 66.67%  已经合格，有待提升", "360 (360)", "no Chinese text", "搜狗 (sogou)",
          "stopped at a block (segment 1)", "http://h/web?query=x"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin:\n" << text;
    }
}

TEST(CliOutput, ExitStatus) {
    CheckReport report = sampleReport();
    EXPECT_EQ(exitStatus(report), 3);
    report.engines.pop_back();
    EXPECT_EQ(exitStatus(report), 0);
    report.engines[1].outcome = RunOutcome::EmptyArticle;
    EXPECT_EQ(exitStatus(report), 0);
    EXPECT_EQ(statusName(RunOutcome::EmptyArticle), "no-text");
}

// ---- Runs -----------------------------------------------------------------------------------

// Each engine's first query waits at the server until every engine of the run has sent one.
struct Rendezvous {
    explicit Rendezvous(std::size_t engines) : expected(engines) {}
    void arrive(EngineId engine) {
        std::unique_lock lock(mutex);
        seen.insert(engine);
        arrived.notify_all();
        if (!arrived.wait_for(lock, 15s, [&] { return seen.size() >= expected; })) {
            metTogether = false;
        }
    }
    std::size_t expected;
    std::mutex mutex;
    std::condition_variable arrived;
    std::set<EngineId> seen;
    std::atomic<bool> metTogether{true};
};

// Segment i of the article has a hit when i is in hitSegments; Sogou's pages are empty when
// sogouBlocks.
EngineScript cliScript(const TestArticle& article, std::set<int> hitSegments, Rendezvous* rendezvous,
                       bool sogouBlocks = false) {
    return [article, hitSegments, rendezvous, sogouBlocks](const EngineQuery& q) -> Reply {
        if (!q.engine) {
            return Reply{404, "text/plain", "no such page", {}};
        }
        if (rendezvous) {
            rendezvous->arrive(*q.engine);
        }
        if (sogouBlocks && q.engine == EngineId::Sogou) {
            return Reply{429, "text/html", "", {}};
        }
        const int i = article.indexOf(q.text);
        if (i < 0) {
            return Reply{404, "text/plain", "no such segment", {}};
        }
        const std::string& segment = article.segments[static_cast<std::size_t>(i)];
        std::vector<std::string> highlights = {leadingChars(segment, 5)};
        if (hitSegments.count(i)) {
            highlights.push_back(leadingChars(segment, 6));
        }
        return Reply{200, "text/html; charset=utf-8", resultsPage(*q.engine, highlights), {}};
    };
}

class RecordingProgress : public ProgressSink {
public:
    void started(const std::string& engine, int total) override {
        std::lock_guard lock(mutex);
        totals[engine] = total;
    }
    void segment(const std::string& engine, int) override {
        std::lock_guard lock(mutex);
        ++segments[engine];
    }
    void message(const std::string& engine, const GbkText&) override {
        std::lock_guard lock(mutex);
        messages.push_back(engine);
    }
    void blocked(const std::string& engine, int row, const GbkText&, bool goOn) override {
        std::lock_guard lock(mutex);
        blocks.push_back(engine + " " + std::to_string(row) + (goOn ? " on" : " stop"));
    }
    void opened(const std::string& engine, const GbkText& address) override {
        std::lock_guard lock(mutex);
        openedAddresses.push_back(engine + " " + address);
    }
    void finished(const EngineResult& result) override {
        std::lock_guard lock(mutex);
        finishedEngines.push_back(result.key);
    }
    std::mutex mutex;
    std::map<std::string, int> totals;
    std::map<std::string, int> segments;
    std::vector<std::string> messages;
    std::vector<std::string> blocks;
    std::vector<std::string> openedAddresses;
    std::vector<std::string> finishedEngines;
};

CliOptions optionsFor(const FakeEngines& engines, std::vector<std::string> args) {
    for (const char* key : {"baidu", "google", "360", "sogou"}) {
        args.push_back(std::string("--engine-host=") + key + "=" + engines.host());
    }
    const ParsedCommandLine parsed = parseCommandLine(args);
    EXPECT_TRUE(parsed.options) << parsed.error;
    return parsed.options.value_or(CliOptions{});
}

TEST(CliRun, FourEnginesAtOnceInTheProfilesOrder) {
    const TestArticle article(3, 10);
    Rendezvous rendezvous(4);
    FakeEngines engines(cliScript(article, {0}, &rendezvous));
    RecordingProgress progress;
    const CheckReport report =
        runChecks(optionsFor(engines, {"--segment-length", "10"}), article.text(), "/nonexistent.ini", progress);
    EXPECT_TRUE(rendezvous.metTogether) << "the engines did not query at the same time";
    EXPECT_EQ(report.articleChars, 30);
    ASSERT_EQ(report.engines.size(), 4u);
    const char* keys[] = {"baidu", "google", "360", "sogou"};
    for (std::size_t e = 0; e < 4; ++e) {
        const EngineResult& result = report.engines[e];
        SCOPED_TRACE(keys[e]);
        EXPECT_EQ(result.key, keys[e]);
        EXPECT_EQ(result.outcome, RunOutcome::Scored);
        EXPECT_EQ(result.score, "66.67%");
        EXPECT_EQ(result.grade, gbk("已经合格，有待提升"));
        EngineProfile profile = *findProfile(keys[e]);
        profile.searchHost = engines.host();
        ASSERT_EQ(result.segments.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            const SegmentResult& s = result.segments[static_cast<std::size_t>(i)];
            EXPECT_EQ(s.row, i + 1);
            EXPECT_EQ(s.text, gbk(article.segments[static_cast<std::size_t>(i)]));
            EXPECT_EQ(s.hits, (i == 0 ? profile.pagesPerSegment : 0));
            EXPECT_EQ(s.address, buildQueryAddress(profile, s.text, profile.pagesPerSegment));
        }
        EXPECT_EQ(progress.totals[keys[e]], 3);
        EXPECT_EQ(progress.segments[keys[e]], 3);
    }
    EXPECT_EQ(progress.finishedEngines.size(), 4u);
}

TEST(CliRun, BlockStopsOrGoesOnAsTold) {
    const TestArticle article(2, 10);
    FakeEngines engines(cliScript(article, {}, nullptr, true));
    for (const char* answer : {"stop", "continue"}) {
        SCOPED_TRACE(answer);
        const bool stop = std::string(answer) == "stop";
        RecordingProgress progress;
        const CheckReport report =
            runChecks(optionsFor(engines, {"--engines", "sogou,baidu", "--segment-length", "10", "--on-block", answer}),
                      article.text(), {}, progress);
        ASSERT_EQ(report.engines.size(), 2u);
        EXPECT_EQ(report.engines[0].outcome, RunOutcome::Scored); // Baidu is not blocked
        const EngineResult& sogou = report.engines[1];
        EXPECT_EQ(sogou.outcome, stop ? RunOutcome::Cancelled : RunOutcome::Scored);
        EXPECT_EQ(sogou.score, stop ? "" : "0%");
        EXPECT_EQ(exitStatus(report), stop ? 3 : 0);
        EngineProfile profile = *findProfile("sogou");
        profile.searchHost = engines.host();
        const GbkText first = buildQueryAddress(profile, gbk(article.segments[0]), 1);
        EXPECT_EQ(sogou.blockedAddress, stop ? first : GbkText{});
        const std::vector<std::string> blocks =
            stop ? std::vector<std::string>{"sogou 1 stop"} : std::vector<std::string>{"sogou 1 on", "sogou 2 on"};
        EXPECT_EQ(progress.blocks, blocks);
    }
}

TEST(CliRun, ArticleWithoutTextIsNoText) {
    FakeEngines engines(cliScript(TestArticle(1, 10), {}, nullptr));
    for (const GbkText& article : {GbkText{}, GbkText("only ASCII, 123")}) {
        RecordingProgress progress;
        const CheckReport report = runChecks(optionsFor(engines, {}), article, {}, progress);
        ASSERT_EQ(report.engines.size(), 4u);
        for (const EngineResult& result : report.engines) {
            EXPECT_EQ(statusName(result.outcome), "no-text");
            EXPECT_TRUE(result.segments.empty());
        }
        EXPECT_EQ(exitStatus(report), 0);
        EXPECT_EQ(progress.messages.size(), article.empty() ? 4u : 0u);
    }
    EXPECT_TRUE(engines.queries().empty());
}

// What standard error shows: lines per event off a terminal; on a terminal, one line per engine
// redrawn in place, with messages printed above them.
TEST(CliRun, ProgressOnAStream) {
    for (const bool terminal : {false, true}) {
        SCOPED_TRACE(terminal ? "terminal" : "not a terminal");
        std::FILE* stream = std::tmpfile();
        ASSERT_NE(stream, nullptr);
        {
            StreamProgress progress(stream, terminal, {"baidu", "sogou"});
            progress.started("baidu", 2);
            progress.started("sogou", 2);
            progress.segment("baidu", 1);
            progress.segment("sogou", 1);
            progress.blocked("sogou", 1, gbk("搜狗可能暂时屏蔽本机搜索\r\n\r\n点击"), false);
            progress.opened("sogou", "http://h/web?query=x");
            EngineResult sogou;
            sogou.key = "sogou";
            sogou.outcome = RunOutcome::Cancelled;
            progress.finished(sogou);
            EngineResult baidu;
            baidu.key = "baidu";
            baidu.outcome = RunOutcome::Scored;
            baidu.score = "50%";
            progress.finished(baidu);
        }
        std::rewind(stream);
        std::string text;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof(buffer), stream)) > 0;) {
            text.append(buffer, n);
        }
        std::fclose(stream);
        for (const char* expected : {"sogou: blocked at segment 1 (搜狗可能暂时屏蔽本机搜索); stopping\n",
                                     "sogou: open this address in a browser to pass the engine's check: "
                                     "http://h/web?query=x\n",
                                     "sogou: stopped at a block", "baidu: done, 50%"}) {
            EXPECT_NE(text.find(expected), std::string::npos) << expected << " in:\n" << text;
        }
        EXPECT_EQ(text.find("\x1b[") != std::string::npos, terminal) << text;
        if (!terminal) {
            EXPECT_NE(text.find("baidu: 2 segments\n"), std::string::npos) << text;
        } else {
            // The last drawing ends with both engines' final states, one line each.
            const std::string tail = text.substr(text.rfind("\x1b[2A"));
            EXPECT_NE(tail.find("baidu: done, 50%\n"), std::string::npos) << tail;
            EXPECT_NE(tail.find("sogou: stopped at a block\n"), std::string::npos) << tail;
        }
    }
}

// ---- The executable ---------------------------------------------------------------------------

struct Ran {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (const char c : s) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Runs the executable with args and stdin, collecting its outputs and exit status.
Ran runProgram(const std::filesystem::path& program, const std::vector<std::string>& args, const std::string& input,
               const ScratchDir& dir) {
    const auto in = dir.path() / "stdin";
    const auto out = dir.path() / "stdout";
    const auto err = dir.path() / "stderr";
    std::ofstream(in, std::ios::binary) << input;
    std::string command = shellQuoted(program.string());
    for (const auto& arg : args) {
        command += " " + shellQuoted(arg);
    }
    command += " <" + shellQuoted(in.string()) + " >" + shellQuoted(out.string()) + " 2>" + shellQuoted(err.string());
    const int raw = std::system(command.c_str());
    Ran ran;
    ran.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    ran.out = readAll(out);
    ran.err = readAll(err);
    return ran;
}

// A copy of the built executable in a directory of its own, with a settings file beside it that
// sets 10 characters per segment: the program must find its settings beside itself.
class InstalledProgram {
public:
    InstalledProgram() {
        program_ = dir_.path() / "originality-cli";
        std::filesystem::copy_file(CLI_PATH, program_);
        dir_.settingsWithSegmentLength("10");
    }
    Ran run(const std::vector<std::string>& args, const std::string& input = {}) {
        return runProgram(program_, args, input, dir_);
    }
    const std::filesystem::path& directory() const { return dir_.path(); }

private:
    ScratchDir dir_;
    std::filesystem::path program_;
};

std::vector<std::string> hostArgs(const FakeEngines& engines) {
    std::vector<std::string> args;
    for (const char* key : {"baidu", "google", "360", "sogou"}) {
        args.push_back("--engine-host");
        args.push_back(std::string(key) + "=" + engines.host());
    }
    return args;
}

// The whole JSON document of a run where segment 1 has a hit on every engine.
std::string expectedJson(const FakeEngines& engines, const TestArticle& article) {
    CheckReport report;
    report.articleChars = 0;
    for (const auto& s : article.segments) {
        report.articleChars += static_cast<int>(s.size() / 3);
    }
    for (const EngineProfile& base : engineProfiles()) {
        EngineProfile profile = base;
        profile.searchHost = engines.host();
        EngineResult result;
        result.key = profile.key;
        result.outcome = RunOutcome::Scored;
        const int n = static_cast<int>(article.segments.size());
        result.score = scoreCaption(n - 1, n);
        result.grade = scoreGrade(scorePercent(n - 1, n));
        for (int i = 0; i < n; ++i) {
            const GbkText text = gbk(article.segments[static_cast<std::size_t>(i)]);
            result.segments.push_back({i + 1, text, i == 0 ? profile.pagesPerSegment : 0,
                                       buildQueryAddress(profile, text, profile.pagesPerSegment)});
        }
        report.engines.push_back(result);
    }
    return formatJson(report);
}

// Four engines at once against the local server, the article from a file, segments of the length
// set in the settings file beside the program, the whole JSON document checked.
TEST(CliProgram, FourEnginesAtOnceToJson) {
    const TestArticle article(3, 10);
    Rendezvous rendezvous(4);
    FakeEngines engines(cliScript(article, {0}, &rendezvous));
    InstalledProgram program;
    const auto file = program.directory() / "article.txt";
    std::ofstream(file, std::ios::binary) << "  " << article.utf8() << "\r\n";

    auto args = hostArgs(engines);
    args.insert(args.end(), {"--format", "json", file.string()});
    const Ran ran = program.run(args);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_TRUE(rendezvous.metTogether) << "the engines did not query at the same time";
    EXPECT_EQ(ran.out, expectedJson(engines, article));
    EXPECT_NE(ran.err.find("sogou: done, 66.67%"), std::string::npos) << ran.err;
}

TEST(CliProgram, GbkInputAndTextOutput) {
    const TestArticle article(2, 10);
    FakeEngines engines(cliScript(article, {0}, nullptr));
    InstalledProgram program;
    auto args = hostArgs(engines);
    args.insert(args.end(), {"--engines", "baidu"});
    const Ran ran = program.run(args, gbk(article.utf8()));
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_NE(ran.out.find("百度 (baidu)"), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find(article.segments[1]), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find("Originality: 50%  别灰心额，还需努力"), std::string::npos) << ran.out;
}

TEST(CliProgram, BlockStopsWithStatusThreeAndTheAddressToOpen) {
    const TestArticle article(2, 10);
    FakeEngines engines(cliScript(article, {}, nullptr, true));
    InstalledProgram program;
    auto args = hostArgs(engines);
    args.insert(args.end(), {"--engines", "sogou", "--format", "json"});
    const Ran ran = program.run(args, article.utf8());
    EXPECT_EQ(ran.status, 3) << ran.err;
    EXPECT_NE(ran.out.find("\"status\": \"cancelled\", \"score\": null, \"grade\": null"), std::string::npos)
        << ran.out;
    EngineProfile profile = *findProfile("sogou");
    profile.searchHost = engines.host();
    const GbkText address = buildQueryAddress(profile, gbk(article.segments[0]), 1);
    EXPECT_NE(ran.err.find(address), std::string::npos) << ran.err;

    args.insert(args.end(), {"--on-block", "continue"});
    const Ran goOn = program.run(args, article.utf8());
    EXPECT_EQ(goOn.status, 0) << goOn.err;
    EXPECT_NE(goOn.out.find("\"status\": \"scored\", \"score\": \"0%\""), std::string::npos) << goOn.out;
}

TEST(CliProgram, BadUsageAndUnreadableFilesExitWithTwo) {
    InstalledProgram program;
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{"--format", "xml"}, "--format is text, json or csv"},
        {{"--engines", "bing"}, "unknown engine 'bing'"},
        {{(program.directory() / "missing.txt").string()}, "No such file or directory"},
        {{program.directory().string()}, "cannot read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        const Ran ran = program.run(c.args);
        EXPECT_EQ(ran.status, 2);
        EXPECT_NE(ran.err.find(c.says), std::string::npos) << ran.err;
        EXPECT_TRUE(ran.out.empty());
    }
    const Ran help = program.run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--engine-host ENGINE=HOST[:PORT]"), std::string::npos);
}

} // namespace
