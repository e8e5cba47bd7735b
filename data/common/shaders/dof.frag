// Depth-of-field compose: mixes the sharp (unit 0) and blurred pictures by
// the eye distance of each pixel, linearised from the depth texture (unit 2)
// with the camera's near and far planes. In focus within focus_range of
// focus_point, fully blurred focus_falloff beyond that.
//
// Unit 1 holds the picture blurred across only (the blur program's pass
// across); the compose finishes the kernel itself with the same seven taps
// down, two target texels apart (blur_texel: one texel of the targets
// upward, in texture coordinates), instead of a pass of its own. That pass
// was drawn with the scenes' blending over its cleared target, so what it
// kept was the colour times its alpha and the alpha squared: the same is
// taken here.
uniform sampler2D tex_sharp;
uniform sampler2D tex_blurry;
uniform sampler2D tex_depth;
uniform float focus_point;
uniform float focus_range;
uniform float focus_falloff;
uniform float zNear;
uniform float zFar;
uniform float blur_texel;

// The blur program's weights: exp(-k^2 / 8) for k = 0..3, normalised.
const vec4 kWeights = vec4(0.216105941, 0.190712824, 0.131074879, 0.070159327);

void main()
{
    vec2 tc = gl_TexCoord[0].st;
    float depth = texture2D(tex_depth, tc).x;
    float eyeDistance = zNear * zFar / (zFar - depth * (zFar - zNear));
    float outside = abs(eyeDistance - focus_point) - max(focus_range, 0.0);
    float blur = clamp(outside / max(focus_falloff, 1e-4), 0.0, 1.0);
    vec4 sharp = texture2D(tex_sharp, tc);
    vec2 step = vec2(0.0, 2.0 * blur_texel);
    vec4 sum = kWeights.x * texture2D(tex_blurry, tc);
    sum += kWeights.y * (texture2D(tex_blurry, tc - step) + texture2D(tex_blurry, tc + step));
    sum += kWeights.z * (texture2D(tex_blurry, tc - 2.0 * step) + texture2D(tex_blurry, tc + 2.0 * step));
    sum += kWeights.w * (texture2D(tex_blurry, tc - 3.0 * step) + texture2D(tex_blurry, tc + 3.0 * step));
    vec4 blurry = vec4(sum.rgb * sum.a, sum.a * sum.a);
    gl_FragColor = gl_Color * mix(sharp, blurry, blur);
}
