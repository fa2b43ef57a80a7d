#include "VEQStore/Import/SubtitleMerger.hpp"
#include "VEQSupport/Error.hpp"

#include "TestSupport/ExternalTool.hpp"
#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <cmath>
#include <map>
#include <sys/stat.h>

namespace sm = veq::SubtitleMerger;
namespace fs = std::filesystem;
using veq::SRTDocument;
using veq::testing::TemporaryFolder;
using veq::testing::readFile;
using veq::testing::runTool;
using veq::testing::shellQuoted;
using veq::testing::writeFile;
using Block = SRTDocument::Block;

namespace {

constexpr auto none = std::nullopt;

std::string srt(std::initializer_list<Block> blocks) { return SRTDocument{blocks}.render(); }

// Seconds as whole milliseconds, so that measured lengths compare exactly.
std::optional<long> ms(std::optional<double> seconds) {
    if (!seconds) return std::nullopt;
    return std::lround(*seconds * 1000);
}
std::vector<long> ms(const std::vector<double>& seconds) {
    std::vector<long> out;
    for (const double s : seconds) out.push_back(*ms(s));
    return out;
}

// A short clip of ffmpeg's test source ("two.mp4" lasts 2 s), made when first asked for.
fs::path generated(const std::string& name) {
    static const TemporaryFolder clips;
    static const std::map<std::string, const char*> seconds = {
        {"two.mp4", "2"}, {"oneandhalf.mp4", "1.5"}, {"one.mp4", "1"}, {"threeandhalf.mp4", "3.5"}};
    const auto path = clips / name;
    if (!fs::exists(path)) {
        const auto command = fmt::format("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=duration={}:size=32x24:rate=10 "
                                         "-c:v mpeg4 {}", seconds.at(name), shellQuoted(path.string()));
        EXPECT_EQ(runTool(command).exitStatus, 0) << "ffmpeg is needed to make test clips: " << command;
    }
    return path;
}

class SubtitleMergerTests : public ::testing::Test {
protected:
    // A copy of a generated clip under another name.
    fs::path clip(const std::string& source, const std::string& name) const {
        fs::copy_file(generated(source), folder_ / name, fs::copy_options::overwrite_existing);
        return folder_ / name;
    }
    fs::path file(const std::string& name, const std::string& text = "") const {
        writeFile(folder_ / name, text);
        return folder_ / name;
    }

    TemporaryFolder folder_;
};

} // namespace

TEST_F(SubtitleMergerTests, ConcatenationFollowsTheAlignment) {
    const SRTDocument a{{{0, 1, "a"}, {2, 59.5, "b"}}};
    const SRTDocument b{{{0.5, 1, "c"}}};
    using A = sm::Alignment;
    const std::tuple<A, double, bool, std::optional<double>> cases[] = { // alignment, second offset, exact, video
        {A::videoDurations({10}), 10, false, 10.0}, // the last document's length is missing
        {A::videoDurations({10, 8}), 10, true, 18.0},
        {A::explicitOffsets({5, 12.5}), 12.5, true, none}, // the first always starts at 0
        {A::explicitOffsets({5}), 59.5, true, none},
        {A::lastSubtitleEnd(), 59.5, false, none},
    };
    for (const auto& [alignment, offset, exact, video] : cases) {
        const auto result = sm::concatenate(std::vector{a, b}, alignment);
        EXPECT_EQ(result, (sm::Result{SRTDocument{{a.blocks[0], a.blocks[1], b.blocks[0].shifted(offset)}}, {0, offset}, offset + 1, video, exact}));
    }
    EXPECT_EQ(sm::concatenate(std::vector<SRTDocument>{}, A::lastSubtitleEnd()), (sm::Result{{}, {}, 0, none, true}));
    EXPECT_TRUE(sm::concatenate(std::vector{a}, A::lastSubtitleEnd()).isExact);
    EXPECT_THROW(sm::concatenate(std::vector{file("a.srt", a.render()), folder_ / "absent.srt"}, A::lastSubtitleEnd()), veq::Error);
}

TEST_F(SubtitleMergerTests, SequenceNumbersEndTheBaseNameAndCoverageAllowsOneSecond) {
    for (const auto& [coverage, video, expected] : {std::tuple{599.2, 600.0, true}, {598.9, 600.0, false}}) {
        EXPECT_EQ((sm::Result{{}, {}, coverage, video, true}.coversVideo()), expected) << coverage;
    }
    const std::pair<const char*, std::optional<sm::Sequence>> cases[] = {
        {"DJI_0001", sm::Sequence{"DJI_", 1, 4}},  {"X99", sm::Sequence{"X", 99, 2}},
        {"007", sm::Sequence{"", 7, 3}},           {"clip", none},
        {"clip 1\u0663", none}, // an Arabic-Indic digit in the run
        {"n9223372036854775808", none},            {"n9223372036854775807", sm::Sequence{"n", INT64_MAX, 19}},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(sm::sequence(name), expected) << name;
}

TEST_F(SubtitleMergerTests, CompanionsAndFollowingFilesTryTheExtensionCases) {
    file("GX010123.MP4");
    file("GX010123.mov");
    file("GX010123.mp4");
    EXPECT_EQ(sm::companionSubtitle(folder_ / "GX010123.MP4"), none);
    file("GX010123.sRt");
    EXPECT_EQ(sm::companionSubtitle(folder_ / "GX010123.MP4"), none);
    file("GX010123.Srt");
    EXPECT_EQ(sm::companionSubtitle(folder_ / "GX010123.MP4"), folder_ / "GX010123.Srt");
    file("GX010123.srt");
    EXPECT_EQ(sm::companionSubtitle(folder_ / "GX010123.MP4"), folder_ / "GX010123.srt");
    EXPECT_EQ(sm::companionVideo(folder_ / "GX010123.srt"), folder_ / "GX010123.MP4");
    EXPECT_EQ(sm::companionVideo(folder_ / "GX099999.srt"), none);

    for (const auto* name : {"DJI_0010.srt", "DJI_0011.SRT", "DJI_0013.srt", "X100.srt", "clip.srt"}) file(name);
    const std::tuple<const char*, int, std::vector<fs::path>> cases[] = {
        {"DJI_0009.SRT", 200, {folder_ / "DJI_0010.srt", folder_ / "DJI_0011.SRT"}}, // DJI_0012 is the gap
        {"DJI_0009.SRT", 1, {folder_ / "DJI_0010.srt"}},
        {"DJI_0009.SRT", 0, {}},
        {"X99.srt", 5, {folder_ / "X100.srt"}},
        {"clip.srt", 5, {}},
        {"n9223372036854775807.srt", 5, {}},
    };
    for (const auto& [after, limit, expected] : cases) EXPECT_EQ(sm::followingFiles(folder_ / after, limit), expected) << after;
}

TEST_F(SubtitleMergerTests, AutomaticAssemblyFollowsAtMostTwoHundredFiles) {
    for (int i = 1; i <= 205; ++i) file(fmt::format("seg{:03}.srt", i), srt({{0, 0.5, fmt::format("s{}", i)}}));
    file("seg000.mp4", "not a video");
    file("seg000.srt", srt({{0, 0.5, "s0"}}));
    EXPECT_EQ(sm::followingFiles(folder_ / "seg000.srt", 200).back(), folder_ / "seg200.srt");
    // With no known length the assembly cannot stop on coverage, so only the limit ends it.
    const auto result = sm::autoAssemble(clip("two.mp4", "seg000.mov"), -1000);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->offsets.size(), 201u);
    EXPECT_EQ(result->document.blocks.back().text, "s200");
    EXPECT_FALSE(result->isExact);
}

TEST_F(SubtitleMergerTests, VideoDurationsOrNothing) {
    const auto half = file("half.mp4");
    const auto whole = readFile(clip("two.mp4", "whole.mp4"));
    writeFile(half, whole.substr(0, whole.size() / 2));
    ASSERT_EQ(::mkfifo((folder_ / "pipe.mp4").c_str(), 0600), 0);
    const std::pair<fs::path, std::optional<double>> cases[] = {
        {clip("two.mp4", "a.mp4"), 2.0}, {clip("oneandhalf.mp4", "b:c.MOV"), 1.5}, {file("text.mp4", "no video"), none},
        {file("empty.mp4"), none},       {half, none},        {folder_ / "missing.mp4", none},
        {folder_.path(), none},          {folder_ / "pipe.mp4", none}, // a pipe would block a reader
    };
    for (const auto& [video, expected] : cases) EXPECT_EQ(ms(sm::duration(video)), ms(expected)) << video;
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_EQ(sm::duration(folder_ / "a.mp4", stopped.get_token()), none);
}

TEST_F(SubtitleMergerTests, AutomaticAssemblyOfSegments) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files; // name, then "clip:<generated>", "dir" or SRT text
        const char* video;
        double tolerance;
        std::vector<double> offsets;
        bool exact;
        std::optional<double> length;
        std::vector<std::string> texts;
    };
    const auto bom = std::string("\xEF\xBB\xBF");
    const Case cases[] = {
        {"segments beside the whole ride",
         {{"ride_1.mov", "clip:threeandhalf.mp4"}, {"ride_1.mp4", "clip:two.mp4"}, {"ride_2.mp4", "clip:oneandhalf.mp4"},
          {"ride_1.srt", srt({{0, 1.9, "un"}})}, {"ride_2.SRT", bom + srt({{0, 1.4, "deux"}})}, {"ride_3.srt", srt({{0, 1, "trois"}})}},
         "ride_1.mov", 0.1, {0, 2}, true, 3.5, {"un", "deux"}},
        {"the video's own segment deduced from the others",
         {{"seg_1.mp4", "clip:two.mp4"}, {"seg_2.mp4", "clip:one.mp4"}, {"seg_1.srt", srt({{0, 0.9, "un"}})},
          {"seg_2.srt", srt({{0, 0.5, "deux"}})}},
         "seg_1.mp4", 0.5, {0, 1}, true, 2.0, {"un", "deux"}},
        {"the video's own segment longer than the rest leaves",
         {{"seg_1.mp4", "clip:two.mp4"}, {"seg_2.mp4", "clip:oneandhalf.mp4"}, {"seg_1.srt", srt({{0, 1.2, "un"}})},
          {"seg_2.srt", srt({{0, 0.5, "deux"}})}},
         "seg_1.mp4", 0.5, {0, 1.2}, false, 2.0, {"un", "deux"}},
        {"empty and unreadable segments skipped",
         {{"h_1.mp4", "clip:two.mp4"}, {"h_1.srt", srt({{0, 0.5, "un"}})}, {"h_2.srt", "\n\n"}, {"h_3.srt", "dir"},
          {"h_4.srt", srt({{0, 0.5, "quatre"}})}},
         "h_1.mp4", 0, {0, 0.5}, false, 2.0, {"un", "quatre"}},
        {"subtitle reaching the end",
         {{"full.mp4", "clip:two.mp4"}, {"full.srt", srt({{0, 1.6, "tout"}})}, {"full2.srt", srt({{0, 1, "non"}})}},
         "full.mp4", 0.5, {0}, true, 2.0, {"tout"}},
        {"unknown video length",
         {{"fake1.mp4", "pas une vidéo"}, {"fake1.srt", srt({{0, 1, "un"}})}, {"fake2.srt", srt({{0, 1, "deux"}})}},
         "fake1.mp4", 0, {0}, true, none, {"un"}},
    };
    for (const auto& c : cases) {
        const TemporaryFolder folder;
        for (const auto& [name, content] : c.files) {
            if (content.starts_with("clip:")) fs::copy_file(generated(content.substr(5)), folder / name);
            else if (content == "dir") fs::create_directory(folder / name);
            else writeFile(folder / name, content);
        }
        const auto result = sm::autoAssemble(folder / c.video, c.tolerance);
        ASSERT_TRUE(result) << c.what;
        EXPECT_EQ(ms(result->offsets), ms(c.offsets)) << c.what;
        EXPECT_EQ(result->isExact, c.exact) << c.what;
        EXPECT_EQ(ms(result->videoDuration), ms(c.length)) << c.what;
        std::vector<std::string> texts;
        for (const auto& block : result->document.blocks) texts.push_back(block.text);
        EXPECT_EQ(texts, c.texts) << c.what;
        EXPECT_DOUBLE_EQ(result->coverage, result->document.duration()) << c.what;
        EXPECT_DOUBLE_EQ(result->document.blocks.back().start, result->offsets.back()) << c.what;
    }

    file("lonely.mp4", "x");
    EXPECT_EQ(sm::autoAssemble(folder_ / "lonely.mp4", 0), none);
    fs::create_directory(folder_ / "locked.srt");
    EXPECT_THROW(sm::autoAssemble(file("locked.mp4"), 0), veq::Error);
}
