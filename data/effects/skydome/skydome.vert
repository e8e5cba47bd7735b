// Sky dome: the mesh's texture coordinates project a flat cloud layer onto
// the dome; the height above the rim (0 at the horizon, 1 at the zenith)
// comes from the unitized mesh's size.
uniform vec4 bbox;

varying vec2 cloudCoord;
varying float height;

void main()
{
    cloudCoord = gl_MultiTexCoord0.st;
    height = clamp(gl_Vertex.y / max(bbox.y, 1e-4) + 0.5, 0.0, 1.0);
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
