// Digital glitch over the picture on unit 0: some horizontal bands are torn
// sideways, the colour channels are split apart and every other scan line is
// darkened. The bands follow the texture coordinates, so moving them through
// the texture matrix animates the tearing.
uniform sampler2D Texture0;

float hash(float n)
{
    return fract(sin(n * 12.9898 + 78.233) * 43758.5453);
}

void main()
{
    vec2 tc = gl_TexCoord[0].st;
    float band = floor(tc.y * 24.0 + floor(gl_TexCoord[0].q * 7.0));
    float h = hash(band);
    float tear = h > 0.7 ? (hash(band + 17.0) - 0.5) * 0.15 : 0.0;
    float split = 3.0 * abs(dFdx(tc.s)) + abs(tear) * 0.1;
    vec2 at = vec2(tc.s + tear, tc.t);
    vec4 centre = texture2D(Texture0, at);
    float r = texture2D(Texture0, at + vec2(split, 0.0)).r;
    float b = texture2D(Texture0, at - vec2(split, 0.0)).b;
    float scan = mod(floor(gl_FragCoord.y), 2.0) < 1.0 ? 0.8 : 1.0;
    gl_FragColor = gl_Color * vec4(vec3(r, centre.g, b) * scan, centre.a);
}
