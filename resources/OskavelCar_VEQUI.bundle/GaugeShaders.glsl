// The circular gauge's dial in one full-view pass (OpenGL 3.3 core).
// The file holds two shader stages, each starting at a marker line "//! section <name>" and
// running to the next marker: "gauge_vertex" and "gauge_fragment".
//
// Geometry follows the vector dial: a square of side s centred in the view, angles measured on
// screen (0 degrees to the right, clockwise), the sweep starting at 135 degrees and covering 270.

//! section gauge_vertex
#version 330 core

// One triangle covering the whole view, made from the vertex index alone (no vertex buffer).
void main() {
    vec2 corner = vec2(float((gl_VertexID << 1) & 2), float(gl_VertexID & 2));
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}

//! section gauge_fragment
#version 330 core

layout(std140) uniform GaugeUniforms {
    vec2 resolution;
    float fraction;
    float glow;
    float redlineStart;
    float majorTicks;
    float peakFraction;
    float _pad;
    vec4 valueColor;
    vec4 trackColor;
    vec4 needleColor;
    vec4 tickColor;
    vec4 redlineColor;
} u;

out vec4 fragColor;

const float START_DEGREES = 135.0;
const float SWEEP_DEGREES = 270.0;
const vec4 HUB_COLOR = vec4(0.0706, 0.0863, 0.1059, 1.0); // the palette's surface1

// Paints a straight (not premultiplied) colour over the premultiplied result with a coverage.
vec4 over(vec4 below, vec4 color, float coverage) {
    float a = color.a * clamp(coverage, 0.0, 1.0);
    return vec4(color.rgb * a, a) + below * (1.0 - a);
}

// Coverage of a shape from its signed distance (negative inside), one pixel of smoothing.
float cover(float distance) {
    return clamp(0.5 - distance, 0.0, 1.0);
}

// Position along the sweep (0 at the start, 1 at the end; beyond 1 in the gap at the bottom).
float sweepPosition(vec2 p) {
    float degrees = degrees(atan(p.y, p.x));
    return mod(degrees - START_DEGREES + 720.0, 360.0) / SWEEP_DEGREES;
}

vec2 pointOnSweep(float position, float radius) {
    float angle = radians(START_DEGREES + position * SWEEP_DEGREES);
    return radius * vec2(cos(angle), sin(angle));
}

// Distance from p to the centre line of the arc [from, to] of the given radius, round-ended.
float arcDistance(vec2 p, float radius, float from, float to) {
    float at = sweepPosition(p);
    if (at >= from && at <= to) return abs(length(p) - radius);
    return min(length(p - pointOnSweep(from, radius)), length(p - pointOnSweep(to, radius)));
}

void main() {
    float side = min(u.resolution.x, u.resolution.y);
    float outer = 0.5 * side;
    vec2 p = vec2(gl_FragCoord.x, u.resolution.y - gl_FragCoord.y) - 0.5 * u.resolution;
    float d = length(p);
    float at = sweepPosition(p);

    float width = 0.07 * side;
    float trackRadius = outer - 0.5 * width;
    float drawn = clamp(u.fraction, 0.0, 1.0);
    vec4 color = vec4(0.0);

    // Glow around the value arc near the scale's limits.
    if (u.glow > 0.0 && drawn > 0.0) {
        float beyond = max(arcDistance(p, trackRadius, 0.0, drawn) - 0.5 * width, 0.0);
        color = over(color, u.valueColor, 0.6 * u.glow * exp(-beyond / (0.035 * side)));
    }

    color = over(color, u.trackColor, cover(arcDistance(p, trackRadius, 0.0, 1.0) - 0.5 * width));

    if (u.redlineStart < 1.0) {
        float bandWidth = 0.35 * width;
        float bandRadius = outer - 0.5 * bandWidth;
        float inBand = step(u.redlineStart, at) * step(at, 1.0);
        color = over(color, u.redlineColor, inBand * cover(abs(d - bandRadius) - 0.5 * bandWidth));
    }

    if (drawn > 0.0) {
        color = over(color, u.valueColor, cover(arcDistance(p, trackRadius, 0.0, drawn) - 0.5 * width));
    }

    // Ticks inside the track: long ones at the numbered divisions, short ones half-way.
    float divisions = max(u.majorTicks, 1.0);
    if (at <= 1.0 + 0.01) {
        float minorAt = at * divisions * 2.0;
        float nearest = clamp(floor(minorAt + 0.5), 0.0, divisions * 2.0);
        float alongArc = abs(minorAt - nearest) / (divisions * 2.0) * radians(SWEEP_DEGREES) * d;
        bool major = mod(nearest, 2.0) < 0.5;
        float inner = outer - width - (major ? 0.06 : 0.035) * side;
        float radial = max(inner - d, d - (outer - width - 0.012 * side));
        float halfWidth = (major ? 0.006 : 0.004) * side;
        color = over(color, u.tickColor, cover(max(alongArc - halfWidth, radial)));
    }

    // Peak mark: a bar across the track where the highest value stood.
    if (u.peakFraction > 0.0) {
        vec2 dir = pointOnSweep(clamp(u.peakFraction, 0.0, 1.0), 1.0);
        float along = dot(p, dir);
        float across = abs(dot(p, vec2(-dir.y, dir.x)));
        float bar = max(across - 0.006 * side, abs(along - trackRadius) - 0.6 * width);
        color = over(color, u.needleColor, cover(bar));
    }

    // Needle: a thin triangle from the centre to 82 % of the radius.
    {
        vec2 dir = pointOnSweep(drawn, 1.0);
        float along = dot(p, dir);
        float across = abs(dot(p, vec2(-dir.y, dir.x)));
        float tipLength = 0.82 * outer;
        float halfWidth = 0.025 * outer * (1.0 - clamp(along / tipLength, 0.0, 1.0));
        float needle = max(max(across - halfWidth, -along), along - tipLength);
        color = over(color, u.needleColor, cover(needle));
    }

    // Hub with a ring in the value colour.
    float hubRadius = 0.075 * side;
    color = over(color, HUB_COLOR, cover(d - hubRadius));
    color = over(color, u.valueColor, cover(abs(d - hubRadius + 1.0) - 1.0));

    fragColor = color;
}
