// Metaballs: chrome blobs. Positions and normals come in the grid's own
// units through the fixed-function arrays; the reflection is worked out in
// those units by the fragment shader.
varying vec3 position;
varying vec3 normal;

void main()
{
    position = gl_Vertex.xyz;
    normal = gl_Normal;
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
