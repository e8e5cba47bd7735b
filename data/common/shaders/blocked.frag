// Mosaic: the picture on unit 0 in blocks of 8 x 8 screen pixels, each block
// the colour at its centre. The texel size comes from the coordinate's screen
// derivatives (the pass draws the texture 1:1), so no size uniform is needed.
uniform sampler2D Texture0;

void main()
{
    vec2 tc = gl_TexCoord[0].st;
    vec2 block = 8.0 * vec2(abs(dFdx(tc.s)), abs(dFdy(tc.t)));
    block = max(block, vec2(1e-6));
    vec2 centre = (floor(tc / block) + 0.5) * block;
    gl_FragColor = gl_Color * texture2D(Texture0, centre);
}
