// The tiles' normal-mapped lighting on geometry twisted about its z axis.
varying vec3 ecPosition;
varying vec3 ecNormal;
varying vec4 ecTangent;  // xyz tangent, w handedness of the bitangent

void main()
{
    // Twist about the z axis, a tenth of a radian per unit of height.
    float angle = 0.1 * gl_Vertex.z;
    float c = cos(angle);
    float s = sin(angle);
    mat3 twist = mat3(c, s, 0.0, -s, c, 0.0, 0.0, 0.0, 1.0);
    vec4 vertex = vec4(twist * gl_Vertex.xyz, gl_Vertex.w);
    vec3 normal = twist * gl_Normal;
    vec3 tangent = twist * gl_MultiTexCoord1.xyz;
    vec4 ec = gl_ModelViewMatrix * vertex;
    ecPosition = ec.xyz;
    ecNormal = gl_NormalMatrix * normal;
    ecTangent = vec4(gl_NormalMatrix * tangent, gl_MultiTexCoord1.w < 0.0 ? -1.0 : 1.0);
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_ClipVertex = ec;
    gl_Position = gl_ModelViewProjectionMatrix * vertex;
}
