#include "VEQUI/Views/GaugeShaderSource.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace veq {
namespace {

struct ParseCase {
    const char* name;
    std::string text;
    std::optional<std::string> vertex; // absent: the file is refused
    std::string fragment;
};

TEST(GaugeShaderSource, SplitsTheFileAtItsSectionMarkers) {
    static const ParseCase cases[] = {
        {"both sections",
         "// header\n//! section gauge_vertex\nV1\nV2\n//! section gauge_fragment\nF1\n",
         "V1\nV2\n", "F1\n"},
        {"fragment first, no final newline",
         "//! section gauge_fragment\nF\n//! section gauge_vertex\nV", "V", "F\n"},
        {"Windows line ends and trailing blanks on a marker",
         "//! section gauge_vertex \r\nV\r\n//! section gauge_fragment\r\nF\r\n", "V\r\n", "F\r\n"},
        {"an unknown section is skipped",
         "//! section gauge_vertex\nV\n//! section notes\nN\n//! section gauge_fragment\nF\n", "V\n", "F\n"},
        {"fragment section missing", "//! section gauge_vertex\nV\n", std::nullopt, ""},
        {"vertex section missing", "//! section gauge_fragment\nF\n", std::nullopt, ""},
        {"fragment section empty", "//! section gauge_vertex\nV\n//! section gauge_fragment\n  \n", std::nullopt, ""},
        {"marker misspelt", "//! section gauge_vertex\nV\n//! section gauge_fragments\nF\n", std::nullopt, ""},
        {"no markers", "void main() {}\n", std::nullopt, ""},
        {"empty file", "", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        const auto source = GaugeShaderSource::parse(c.text);
        ASSERT_EQ(source.has_value(), c.vertex.has_value()) << c.name;
        if (!source) continue;
        EXPECT_EQ(source->vertex, *c.vertex) << c.name;
        EXPECT_EQ(source->fragment, c.fragment) << c.name;
    }
}

TEST(GaugeShaderSource, TheBundlesFileHoldsBothStagesForOpenGL33Core) {
    const auto source = GaugeShaderSource::loadFromBundle();
    ASSERT_TRUE(source.has_value());
    EXPECT_TRUE(source->vertex.starts_with("#version 330 core\n"));
    EXPECT_TRUE(source->fragment.starts_with("#version 330 core\n"));
    EXPECT_NE(source->fragment.find("uniform GaugeUniforms"), std::string::npos);
}

} // namespace
} // namespace veq
