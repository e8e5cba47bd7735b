// Blur of the picture on unit 0 for the depth-of-field pass: one direction
// of a 7 x 7 tap Gaussian-weighted kernel with taps two pixels apart (about
// a 12 pixel wide blur). The kernel's weights are a product of one weight
// per axis, so a pass across (direction (1, 0)) and a pass of its result
// down (direction (0, 1)) give the whole 49-tap kernel with 14 taps. The
// pixel size comes from the coordinate's screen derivatives, since the pass
// draws the picture 1:1 into a target of the window's size.
uniform sampler2D Texture0;
uniform vec4 direction;  // xy: (1, 0) or (0, 1)

// exp(-k^2 / 8) for k = 0..3, divided by their sum over k = -3..3.
const vec4 kWeights = vec4(0.216105941, 0.190712824, 0.131074879, 0.070159327);

void main()
{
    vec2 tc = gl_TexCoord[0].st;
    vec2 step = 2.0 * direction.xy * vec2(abs(dFdx(tc.s)), abs(dFdy(tc.t)));
    vec4 sum = kWeights.x * texture2D(Texture0, tc);
    sum += kWeights.y * (texture2D(Texture0, tc - step) + texture2D(Texture0, tc + step));
    sum += kWeights.z * (texture2D(Texture0, tc - 2.0 * step) + texture2D(Texture0, tc + 2.0 * step));
    sum += kWeights.w * (texture2D(Texture0, tc - 3.0 * step) + texture2D(Texture0, tc + 3.0 * step));
    gl_FragColor = gl_Color * sum;
}
