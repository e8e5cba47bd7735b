// Per-pixel lighting: eye-space position and normal, texture unit 0.
varying vec3 ecPosition;
varying vec3 ecNormal;

void main()
{
    vec4 vertex = gl_Vertex;
    vec3 normal = gl_Normal;
    vec4 ec = gl_ModelViewMatrix * vertex;
    ecPosition = ec.xyz;
    ecNormal = gl_NormalMatrix * normal;
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_ClipVertex = ec;
    gl_Position = gl_ModelViewProjectionMatrix * vertex;
}
