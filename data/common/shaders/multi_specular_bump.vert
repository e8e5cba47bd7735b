// Normal-mapped lighting: eye-space position, normal and tangent (from unit 1's
// texture coordinates, w the handedness), texture unit 0.
varying vec3 ecPosition;
varying vec3 ecNormal;
varying vec4 ecTangent;  // xyz tangent, w handedness of the bitangent

void main()
{
    vec4 vertex = gl_Vertex;
    vec3 normal = gl_Normal;
    vec3 tangent = gl_MultiTexCoord1.xyz;  // tangents ride on unit 1's coordinates
    vec4 ec = gl_ModelViewMatrix * vertex;
    ecPosition = ec.xyz;
    ecNormal = gl_NormalMatrix * normal;
    ecTangent = vec4(gl_NormalMatrix * tangent, gl_MultiTexCoord1.w < 0.0 ? -1.0 : 1.0);
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_ClipVertex = ec;
    gl_Position = gl_ModelViewProjectionMatrix * vertex;
}
