// Blur of the picture on unit 0 for the depth-of-field pass: a 7 x 7 tap
// Gaussian-weighted kernel with taps two pixels apart (about a 12 pixel wide
// blur). The pixel size comes from the coordinate's screen derivatives, since
// the pass draws the picture 1:1 into a target of the window's size.
uniform sampler2D Texture0;

void main()
{
    vec2 tc = gl_TexCoord[0].st;
    vec2 pixel = vec2(abs(dFdx(tc.s)), abs(dFdy(tc.t)));
    vec4 sum = vec4(0.0);
    float total = 0.0;
    for (int y = -3; y <= 3; ++y) {
        for (int x = -3; x <= 3; ++x) {
            float weight = exp(-float(x * x + y * y) / 8.0);
            sum += weight * texture2D(Texture0, tc + 2.0 * vec2(float(x), float(y)) * pixel);
            total += weight;
        }
    }
    gl_FragColor = gl_Color * (sum / total);
}
