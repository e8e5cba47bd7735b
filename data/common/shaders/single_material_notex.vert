// Per-pixel lighting of untextured surfaces: eye-space position and normal.
varying vec3 ecPosition;
varying vec3 ecNormal;

void main()
{
    vec4 vertex = gl_Vertex;
    vec3 normal = gl_Normal;
    vec4 ec = gl_ModelViewMatrix * vertex;
    ecPosition = ec.xyz;
    ecNormal = gl_NormalMatrix * normal;
    gl_FrontColor = gl_Color;
    gl_ClipVertex = ec;
    gl_Position = gl_ModelViewProjectionMatrix * vertex;
}
