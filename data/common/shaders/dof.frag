// Depth-of-field compose: mixes the sharp (unit 0) and blurred pictures by
// the eye distance of each pixel, linearised from the depth texture (unit 2)
// with the camera's near and far planes. In focus within focus_range of
// focus_point, fully blurred focus_falloff beyond that.
//
// Unit 1 holds the picture blurred across only (the blur program's pass
// across); the compose finishes the kernel itself with the same seven taps
// down, two target texels apart (blur_texel: one texel of the targets
// upward, in texture coordinates), instead of a pass of its own. Both
// pictures are premultiplied by their alpha (the sharp pass piles coverage
// up as "over" does), so they blur and mix as they are, and the result is
// laid over the framebuffer with (1, 1 - alpha).
//
// The blur spreads colour only within what the content covers: where a
// pixel's own coverage is less than its blurred neighbourhood's, the blurred
// colour is scaled down to it. So a sharp object never throws a halo over
// the empty target round it (what shows there is what was drawn before), a
// translucent surface keeps its own coverage, and a blurred object's edges
// soften inwards.
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
    vec4 blurry = sum * clamp(sharp.a / max(sum.a, 1e-4), 0.0, 1.0);
    gl_FragColor = gl_Color * mix(sharp, blurry, blur);
}
