// The texture on unit 0 under the light its vertices gathered
// (lit_per_vertex_tex.vert); alpha is the material's times the texture's.
uniform sampler2D Texture0;

varying vec3 litColour;
varying vec3 highlight;

void main()
{
    vec4 tex = texture2D(Texture0, gl_TexCoord[0].st);
    gl_FragColor = vec4(litColour * tex.rgb + highlight, gl_FrontMaterial.diffuse.a * tex.a);
}
