// Deferred shading, geometry pass: eye-space position and normal for the
// surface buffers, texture unit 0 for the albedo.
varying vec3 ecPosition;
varying vec3 ecNormal;

void main()
{
    vec4 ec = gl_ModelViewMatrix * gl_Vertex;
    ecPosition = ec.xyz;
    ecNormal = gl_NormalMatrix * gl_Normal;
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_ClipVertex = ec;
    gl_Position = ftransform();
}
