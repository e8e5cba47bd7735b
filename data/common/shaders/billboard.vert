// Camera-facing sprites: the object's origin is placed by the modelview
// matrix, but its local x/y plane is laid flat on the screen, keeping the
// object's scale. Each vertex's x/y is its corner offset from the origin.
void main()
{
    vec4 centre = gl_ModelViewMatrix * vec4(0.0, 0.0, 0.0, 1.0);
    float scale = length(gl_ModelViewMatrix[0].xyz);
    vec4 ec = centre + vec4(gl_Vertex.xy * scale, 0.0, 0.0);
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_ClipVertex = ec;
    gl_Position = gl_ProjectionMatrix * ec;
}
