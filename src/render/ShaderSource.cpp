// SPDX-License-Identifier: MIT
#include "render/ShaderSource.h"

#include "core/Tuning.h"

#include <cstdio>
#include <utility>

namespace orvane::ShaderSource {

namespace {

// Render targets keep row 0 at the top, as source images do: every vertex
// stage flips y on the way out, so the formulas read with y up in NDC and
// texture rows counted from the top.
constexpr std::string_view body = R"GLSL(
float saturate(float x) { return clamp(x, 0.0, 1.0); }
vec3 saturate(vec3 x) { return clamp(x, 0.0, 1.0); }
vec4 toTarget(vec4 p) { return vec4(p.x, -p.y, p.z, p.w); }

layout(std140) uniform FoldUniforms {
    float t;
    float fade;
    float perspective;
    float blur;
    float shadow;
    float reduceMotion;
    float reduceMotionPad;
    float blurScale;
    vec2 resolution;
    float motion;
    float cornerPx;
    vec4 geo;  // theta, bend radius, bend length, sheet height
    vec4 edge; // stretch k, stretch reach, far-edge y, far-edge half-width
} F;

layout(std140) uniform StyleUniforms {
    vec3 tint;
    float tintPad;
    float tintStrength;
    float tintStrengthPad0;
    float tintStrengthPad1;
    float tintStrengthPad2;
    vec3 crease;
    float creasePad;
    float creaseStrength;
    float creaseStrengthPad0;
    float creaseStrengthPad1;
    float creaseStrengthPad2;
    vec4 m1; // vignette, desaturate, noise, chromatic
    vec4 m2; // bloom, falloff, ridge line, unused
} S;

layout(std140) uniform EdgeTable {
    vec4 entries[EDGE_TABLE_COUNT / 4];
} E;

layout(std140) uniform BlurUniforms {
    vec2 resolution;
    float offset;
    float pad;
} B;

float edgeAt(int i) { return E.entries[i / 4][i % 4]; }

float stretchV(float u, float k, float reach) {
    if (k <= 0.0) {
        return u;
    }
    float x = min(u / reach, 1.0);
    float b = reach * (x - x * x * x + x * x * x * x / 2.0);
    return (u - k * b) / (1.0 - k * reach / 2.0);
}

vec3 screenBlend(vec3 base, vec3 light) { return 1.0 - (1.0 - base) * (1.0 - saturate(light)); }

#ifdef ENTRY_foldVertex
layout(location = 0) in vec2 meshUV;
out vec2 sheet;
out vec2 tc;
out vec3 world;
out float phi;
out float phase;

void main() {
    float u = meshUV.x;
    float v = meshUV.y;
    sheet = meshUV;
    if (F.reduceMotion > 0.5) {
        gl_Position = toTarget(vec4(2.0 * u - 1.0, 2.0 * v - 1.0, 0.0, 1.0));
        tc = vec2(u, 1.0 - v);
        world = vec3(2.0 * u - 1.0, v, 0.0);
        phi = 0.0;
        phase = 8.0;
        return;
    }
    float theta = F.geo.x;
    float R = F.geo.y;
    float Lb = F.geo.z;
    float H = F.geo.w;
    float s = v * H;
    float y;
    float z;
    float p;
    if (s < Lb) {
        p = s / R;
        y = R * sin(p);
        z = -R * (1.0 - cos(p));
    } else {
        float run = s - Lb;
        p = theta;
        y = R * sin(theta) + run * cos(theta);
        z = -R * (1.0 - cos(theta)) - run * sin(theta);
    }
    float x = 2.0 * u - 1.0;
    float depth = FOLD_CAM_DIST - z;
    // Dividing by the true depth keeps interpolation perspective-correct.
    gl_Position = toTarget(vec4(x * FOLD_CAM_DIST, (y - H / 2.0) * (2.0 * FOLD_CAM_DIST / H), 0.0, depth));
    tc = vec2(u, 1.0 - stretchV(v, F.edge.x, F.edge.y));
    world = vec3(x, y, z);
    phi = p;
    phase = Lb > 1e-6 ? s / Lb : 8.0;
}
#endif

#ifdef ENTRY_foldFragment
in vec2 sheet;
in vec2 tc;
in vec3 world;
in float phi;
in float phase;
uniform sampler2D sharpTexture;
uniform sampler2D halfTexture;
uniform sampler2D heavyTexture;
out vec4 fragColor;

vec3 sampleDepth(vec2 uv, float level) {
    vec3 a = texture(sharpTexture, uv).rgb;
    if (level <= 0.0) {
        return a;
    }
    vec3 b = texture(halfTexture, uv).rgb;
    if (level <= 0.5) {
        return mix(a, b, 2.0 * level);
    }
    vec3 c = texture(heavyTexture, uv).rgb;
    return mix(b, c, 2.0 * level - 1.0);
}

void main() {
    float t = F.t;
    float v = sheet.y;

    // Edge coverage, worked out first: derivatives need every pixel of the quad.
    vec2 px = sheet * F.resolution;
    float dx = min(px.x, F.resolution.x - px.x);
    float dy = F.resolution.y - px.y;
    float r = F.cornerPx;
    float d = min(dx, dy);
    if (dx < r && dy < r) {
        d = r - length(vec2(r - dx, r - dy));
    }
    float edgeWidth = max(fwidth(d), 1e-4);
    float cov = t > 0.0 ? saturate(d / edgeWidth + 0.5) : 1.0;

#ifdef FOLD_REDUCED
    // Reduce Motion: no bend light, crease, split, grain, motion blur or rounding.
    vec3 still = mix(texture(sharpTexture, tc).rgb, texture(heavyTexture, tc).rgb,
                     saturate(F.blur * t * F.blurScale));
    still *= 1.0 - 0.45 * F.shadow * t;
    fragColor = vec4(still * F.fade, 1.0);
#else

    float coc = -world.z / (FOLD_CAM_DIST - world.z);
    float level = saturate(coc * DEPTH_BLUR_GAIN * F.blur * F.blurScale);
    level = max(level, saturate(F.blurScale - 1.0) * FROST_FLOOR * t * saturate(2.0 * F.blur));

    vec3 col = sampleDepth(tc, level);
#ifdef FOLD_MOTION_BLUR
    float mlen = F.motion * v;
    if (mlen > 0.0) {
        col = vec3(0.0);
        for (int i = -3; i <= 3; ++i) {
            float weight = 4.0 - abs(float(i));
            col += weight * sampleDepth(tc + vec2(0.0, (float(i) / 3.0) * mlen), level);
        }
        col /= 16.0;
    }
#endif
    vec3 heavy = texture(heavyTexture, tc).rgb;

    col *= mix(vec3(1.0), S.tint, S.tintStrength * t);
    float luma = dot(col, vec3(0.2126, 0.7152, 0.0722));
    col = mix(col, vec3(luma), S.m1.y * t);
    vec3 bloomed = 1.0 - (1.0 - col) * (1.0 - 0.6 * heavy);
    col = mix(col, bloomed, S.m2.x * t);
    col *= 1.0 - S.m2.y * t * v;
    col *= 1.0 - DEPTH_SHADE * F.shadow * saturate(2.4 * coc);
    vec2 fromCentre = sheet - vec2(0.5);
    col *= 1.0 - S.m1.x * t * 2.0 * dot(fromCentre, fromCentre);

    // Light on the bend: the sheen band rides the arc as its radius shrinks.
    float H = F.geo.w;
    vec3 n = vec3(0.0, sin(phi), cos(phi));
    vec3 V = normalize(vec3(0.0, H / 2.0, FOLD_CAM_DIST) - world);
    vec3 L = normalize(vec3(0.0, LIGHT_Y, LIGHT_Z));
    vec3 h = normalize(L + V);
    float onArc = 1.0 - smoothstep(0.8, 1.4, phase);
    float specular = pow(saturate(dot(n, h)), SHEEN_POWER) * onArc;
    float fres = pow(1.0 - saturate(dot(n, V)), 5.0);
    float lit = smoothstep(0.0, 0.2, t);
    vec3 sheenTint = mix(vec3(1.0), S.tint, 0.8);
    col = screenBlend(col, sheenTint * (SHEEN_STRENGTH * specular + FRESNEL_STRENGTH * fres) * lit);

    float crestU = 0.5 * F.geo.z / F.geo.w;
    float bandD = (v - crestU) / mix(0.035, 0.012, S.m2.z);
    float band = exp(-bandD * bandD);
    col = screenBlend(col, S.crease * S.creaseStrength * band * t);

#ifdef FOLD_RIDGE
    float lineD = (v - crestU) / 0.0035;
    float ridge = exp(-lineD * lineD);
    vec2 ca = vec2(S.m1.w * 0.00175 * t, 0.0);
    float red = texture(sharpTexture, tc + ca).r;
    float blue = texture(sharpTexture, tc - ca).b;
    vec3 splitCol = mix(col, vec3(red, col.g, blue), 0.5);
    col = mix(col, splitCol, S.m1.w * ridge * t);
    col = screenBlend(col, vec3(1.0, 0.98, 0.92) * S.m2.z * ridge * min(3.0 * t, 1.0) * 0.9);
#endif

    float g = fract(sin(dot(sheet * F.resolution, vec2(12.9898, 78.233))) * 43758.5453);
    col += (g - 0.5) * S.m1.z * saturate(6.0 * t);

    fragColor = vec4(saturate(col) * F.fade * cov, cov);
#endif
}
#endif

#ifdef ENTRY_quadVertex
out vec2 uv;

void main() {
    vec2 p = vec2(float((gl_VertexID * 2) & 2), float(gl_VertexID & 2));
    gl_Position = toTarget(vec4(2.0 * p - 1.0, 0.0, 1.0));
    uv = vec2(p.x, 1.0 - p.y);
}
#endif

#ifdef ENTRY_backdropFragment
in vec2 uv;
uniform sampler2D backdropTexture;
out vec4 fragColor;

void main() {
    vec3 c = texture(backdropTexture, uv).rgb * BACKDROP_DIM;
    if (F.reduceMotion < 0.5 && F.t > 0.0) {
        float ndcY = 1.0 - 2.0 * uv.y;
        float ax = abs(2.0 * uv.x - 1.0);
        float top = F.edge.z;
        float halfWidth = F.edge.w;
        float above = 0.0;
        if (ndcY >= top) {
            above = ndcY - top;
        } else {
            float f = saturate((ndcY + 1.0) / max(top + 1.0, 1e-4)) * float(EDGE_TABLE_COUNT - 1);
            int i0 = min(int(floor(f)), EDGE_TABLE_COUNT - 1);
            int i1 = min(i0 + 1, EDGE_TABLE_COUNT - 1);
            halfWidth = mix(edgeAt(i0), edgeAt(i1), f - float(i0));
        }
        vec2 gap = vec2(max(ax - halfWidth, 0.0) * F.resolution.x / 2.0, above * F.resolution.y / 2.0);
        float fall = exp(-length(gap) / (EDGE_SHADOW_REACH * F.resolution.y));
        float amount = EDGE_SHADOW_STRENGTH * saturate(2.0 * F.shadow) * smoothstep(0.0, 0.15, F.t);
        c *= 1.0 - amount * fall;
    }
    fragColor = vec4(c * F.fade, F.fade);
}
#endif

#ifdef ENTRY_layOverFragment
in vec2 uv;
uniform sampler2D passSource;
out vec4 fragColor;

void main() {
    fragColor = texture(passSource, uv);
}
#endif

#ifdef ENTRY_kawaseDown
in vec2 uv;
uniform sampler2D passSource;
out vec4 fragColor;

void main() {
    vec2 o = B.offset / B.resolution;
    fragColor = (4.0 * texture(passSource, uv) + texture(passSource, uv + vec2(-o.x, -o.y)) +
                 texture(passSource, uv + vec2(o.x, -o.y)) + texture(passSource, uv + vec2(o.x, o.y)) +
                 texture(passSource, uv + vec2(-o.x, o.y))) / 8.0;
}
#endif

#ifdef ENTRY_kawaseUp
in vec2 uv;
uniform sampler2D passSource;
out vec4 fragColor;

void main() {
    vec2 o = B.offset / B.resolution;
    fragColor = (texture(passSource, uv + vec2(-2.0 * o.x, 0.0)) +
                 2.0 * texture(passSource, uv + vec2(-o.x, o.y)) +
                 texture(passSource, uv + vec2(0.0, 2.0 * o.y)) +
                 2.0 * texture(passSource, uv + vec2(o.x, o.y)) +
                 texture(passSource, uv + vec2(2.0 * o.x, 0.0)) +
                 2.0 * texture(passSource, uv + vec2(o.x, -o.y)) +
                 texture(passSource, uv + vec2(0.0, -2.0 * o.y)) +
                 2.0 * texture(passSource, uv + vec2(-o.x, -o.y))) / 12.0;
}
#endif
)GLSL";

std::string build() {
    using namespace Tuning;
    const std::pair<std::string_view, double> constants[] = {
        {"BACKDROP_DIM", backdropDim},
        {"FOLD_CAM_DIST", foldCameraDistance},
        {"DEPTH_BLUR_GAIN", depthBlurGain},
        {"FROST_FLOOR", frostFloor},
        {"DEPTH_SHADE", depthShade},
        {"SHEEN_STRENGTH", sheenStrength},
        {"SHEEN_POWER", sheenPower},
        {"FRESNEL_STRENGTH", fresnelStrength},
        {"LIGHT_Y", lightElevation},
        {"LIGHT_Z", lightDepth},
        {"EDGE_SHADOW_STRENGTH", edgeShadowStrength},
        {"EDGE_SHADOW_REACH", edgeShadowReach},
    };
    std::string text = "#version 330 core\n";
    text += "// Orvane fold: bent sheet, backdrop with edge shadow, dual Kawase blur.\n";
    for (const auto& [name, value] : constants) {
        text += "const float " + std::string(name) + " = " + floatLiteral(value) + ";\n";
    }
    text += "const int EDGE_TABLE_COUNT = " + std::to_string(edgeTableCount) + ";\n";
    text += body;
    return text;
}

} // namespace

std::string floatLiteral(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    std::string text = buffer;
    if (text.find('.') == std::string::npos && text.find('e') == std::string::npos) {
        text += ".0";
    }
    return text;
}

const std::string& glsl() {
    static const std::string text = build();
    return text;
}

std::string_view entryName(ShaderEntry entry) {
    switch (entry) {
    case ShaderEntry::foldVertex:
        return "foldVertex";
    case ShaderEntry::foldFragment:
        return "foldFragment";
    case ShaderEntry::quadVertex:
        return "quadVertex";
    case ShaderEntry::backdropFragment:
        return "backdropFragment";
    case ShaderEntry::kawaseDown:
        return "kawaseDown";
    case ShaderEntry::kawaseUp:
        return "kawaseUp";
    case ShaderEntry::layOverFragment:
        return "layOverFragment";
    }
    return "foldVertex";
}

bool isVertexStage(ShaderEntry entry) {
    return entry == ShaderEntry::foldVertex || entry == ShaderEntry::quadVertex;
}

std::string stageText(ShaderEntry entry, unsigned features, ShaderDialect dialect) {
    const std::string& text = glsl();
    const std::size_t firstLine = text.find('\n') + 1;
    // OpenGL ES has no default precision for floats in the fragment stage.
    const std::string version = dialect == ShaderDialect::es300
                                    ? "#version 300 es\nprecision highp float;\n"
                                      "precision highp int;\nprecision highp sampler2D;\n"
                                    : text.substr(0, firstLine);
    std::string defines = "#define ENTRY_" + std::string(entryName(entry)) + "\n";
    if (entry == ShaderEntry::foldFragment) {
        if ((features & FoldFeature::reduced) != 0) {
            defines += "#define FOLD_REDUCED\n";
        }
        if ((features & FoldFeature::motionBlur) != 0) {
            defines += "#define FOLD_MOTION_BLUR\n";
        }
        if ((features & FoldFeature::ridge) != 0) {
            defines += "#define FOLD_RIDGE\n";
        }
    }
    return version + defines + text.substr(firstLine);
}

} // namespace orvane::ShaderSource
