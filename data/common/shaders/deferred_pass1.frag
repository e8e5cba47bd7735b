// Deferred shading, geometry pass: writes the surface into three draw
// buffers: 0 albedo (texture on unit 0 times the material's diffuse colour,
// alpha kept), 1 the eye-space normal packed into 0..1 with alpha 1 marking
// covered pixels, 2 the eye-space position.
uniform sampler2D Texture0;

varying vec3 ecPosition;
varying vec3 ecNormal;

void main()
{
    vec3 n = normalize(ecNormal);
    if (!gl_FrontFacing) n = -n;
    vec4 albedo = gl_FrontMaterial.diffuse * texture2D(Texture0, gl_TexCoord[0].st);
    gl_FragData[0] = albedo;
    gl_FragData[1] = vec4(n * 0.5 + 0.5, 1.0);
    gl_FragData[2] = vec4(ecPosition, 1.0);
}
