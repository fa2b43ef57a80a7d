#include "VEQUI/Views/Gauges/GaugeRenderer.hpp"

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>

#include <array>
#include <cstddef>
#include <string_view>

namespace veq {

namespace {

constexpr const char* blockName = "GaugeUniforms";
constexpr GLuint blockBinding = 0;

struct BlockMember {
    const char* name;
    std::size_t offset;
};

// Where the shader must place each member: the C++ struct is uploaded as raw bytes.
const std::array<BlockMember, 12> blockMembers{{
    {"GaugeUniforms.resolution",   offsetof(GaugeUniforms, resolution)},
    {"GaugeUniforms.fraction",     offsetof(GaugeUniforms, fraction)},
    {"GaugeUniforms.glow",         offsetof(GaugeUniforms, glow)},
    {"GaugeUniforms.redlineStart", offsetof(GaugeUniforms, redlineStart)},
    {"GaugeUniforms.majorTicks",   offsetof(GaugeUniforms, majorTicks)},
    {"GaugeUniforms.peakFraction", offsetof(GaugeUniforms, peakFraction)},
    {"GaugeUniforms._pad",         offsetof(GaugeUniforms, _pad)},
    {"GaugeUniforms.valueColor",   offsetof(GaugeUniforms, valueColor)},
    {"GaugeUniforms.trackColor",   offsetof(GaugeUniforms, trackColor)},
    {"GaugeUniforms.needleColor",  offsetof(GaugeUniforms, needleColor)},
    {"GaugeUniforms.tickColor",    offsetof(GaugeUniforms, tickColor)},
    {"GaugeUniforms.redlineColor", offsetof(GaugeUniforms, redlineColor)},
}};

// The linked block has exactly our size and offsets (a member the compiler dropped as unused
// reports no index and is not checked: its bytes are simply never read).
bool blockMatchesStruct(QOpenGLExtraFunctions& gl, GLuint program) {
    const GLuint block = gl.glGetUniformBlockIndex(program, blockName);
    if (block == GL_INVALID_INDEX) return false;
    GLint size = 0;
    gl.glGetActiveUniformBlockiv(program, block, GL_UNIFORM_BLOCK_DATA_SIZE, &size);
    if (size != static_cast<GLint>(sizeof(GaugeUniforms))) return false;
    for (const auto& member : blockMembers) {
        GLuint index = GL_INVALID_INDEX;
        gl.glGetUniformIndices(program, 1, &member.name, &index);
        if (index == GL_INVALID_INDEX) continue;
        GLint offset = -1;
        gl.glGetActiveUniformsiv(program, 1, &index, GL_UNIFORM_OFFSET, &offset);
        if (offset != static_cast<GLint>(member.offset)) return false;
    }
    gl.glUniformBlockBinding(program, block, blockBinding);
    return true;
}

} // namespace

std::unique_ptr<GaugeRenderer> GaugeRenderer::create() {
    const auto source = GaugeShaderSource::loadFromBundle();
    if (!source) return nullptr;
    return create(*source);
}

std::unique_ptr<GaugeRenderer> GaugeRenderer::create(const GaugeShaderSource& source) {
    if (!QOpenGLContext::currentContext()) return nullptr;
    std::unique_ptr<GaugeRenderer> renderer(new GaugeRenderer());
    if (!renderer->build(source)) return nullptr;
    return renderer;
}

bool GaugeRenderer::build(const GaugeShaderSource& source) {
    auto* context = QOpenGLContext::currentContext();
    const auto format = context->format();
    if (context->isOpenGLES() || format.version() < qMakePair(3, 3)) return false;
    if (!program_.addShaderFromSourceCode(QOpenGLShader::Vertex, QByteArray::fromStdString(source.vertex)))
        return false;
    if (!program_.addShaderFromSourceCode(QOpenGLShader::Fragment, QByteArray::fromStdString(source.fragment)))
        return false;
    if (!program_.link()) return false;
    auto& gl = *context->extraFunctions();
    if (!blockMatchesStruct(gl, program_.programId())) return false;
    // The core profile draws nothing without a vertex array bound, even an empty one.
    if (!vertexArray_.create()) return false;
    gl.glGenBuffers(1, &uniformBuffer_);
    if (uniformBuffer_ == 0) return false;
    gl.glBindBuffer(GL_UNIFORM_BUFFER, uniformBuffer_);
    gl.glBufferData(GL_UNIFORM_BUFFER, sizeof(GaugeUniforms), nullptr, GL_DYNAMIC_DRAW);
    gl.glBindBuffer(GL_UNIFORM_BUFFER, 0);
    return true;
}

GaugeRenderer::~GaugeRenderer() {
    if (uniformBuffer_ != 0) {
        if (auto* context = QOpenGLContext::currentContext()) context->extraFunctions()->glDeleteBuffers(1, &uniformBuffer_);
    }
}

GaugeUniforms GaugeRenderer::frameUniforms(const GaugeUniforms& values, QSize drawablePixels, double drawnFraction) {
    GaugeUniforms frame = values;
    frame.resolution = {static_cast<float>(drawablePixels.width()), static_cast<float>(drawablePixels.height())};
    frame.fraction = static_cast<float>(drawnFraction);
    return frame;
}

void GaugeRenderer::stepSpring() { spring_.step(uniforms.fraction, frameInterval); }

void GaugeRenderer::draw(QSize drawablePixels) {
    stepSpring();
    auto* context = QOpenGLContext::currentContext();
    if (!context || drawablePixels.isEmpty()) return;
    auto& gl = *context->extraFunctions();
    const GaugeUniforms frame = frameUniforms(uniforms, drawablePixels, spring_.position());

    gl.glBindBuffer(GL_UNIFORM_BUFFER, uniformBuffer_);
    gl.glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof frame, &frame);
    gl.glBindBufferBase(GL_UNIFORM_BUFFER, blockBinding, uniformBuffer_);

    gl.glViewport(0, 0, drawablePixels.width(), drawablePixels.height());
    gl.glDisable(GL_DEPTH_TEST);
    gl.glEnable(GL_BLEND);
    // The fragment stage gives premultiplied colour.
    gl.glBlendEquation(GL_FUNC_ADD);
    gl.glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);

    program_.bind();
    vertexArray_.bind();
    gl.glDrawArrays(GL_TRIANGLES, 0, 3);
    vertexArray_.release();
    program_.release();
    gl.glBindBufferBase(GL_UNIFORM_BUFFER, blockBinding, 0);
    gl.glBindBuffer(GL_UNIFORM_BUFFER, 0);
}

} // namespace veq
