// Unlit: the texture on unit 0 times the current colour (its alpha included).
uniform sampler2D Texture0;

void main()
{
    gl_FragColor = gl_Color * texture2D(Texture0, gl_TexCoord[0].st);
}
