// Sprite texture on unit 0 tinted by the current colour; fully clear texels
// are dropped so they leave no depth behind.
uniform sampler2D Texture0;

void main()
{
    vec4 color = gl_Color * texture2D(Texture0, gl_TexCoord[0].st);
    if (color.a < 0.004) discard;
    gl_FragColor = color;
}
