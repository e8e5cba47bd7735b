// Screen-space passes and unlit drawing: transform, texture coordinate of
// unit 0 (through its texture matrix) and the current colour.
void main()
{
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
