// Depth-of-field compose: mixes the sharp (unit 0) and blurred (unit 1)
// pictures by the eye distance of each pixel, linearised from the depth
// texture (unit 2) with the camera's near and far planes. In focus within
// focus_range of focus_point, fully blurred focus_falloff beyond that.
uniform sampler2D tex_sharp;
uniform sampler2D tex_blurry;
uniform sampler2D tex_depth;
uniform float focus_point;
uniform float focus_range;
uniform float focus_falloff;
uniform float zNear;
uniform float zFar;

void main()
{
    vec2 tc = gl_TexCoord[0].st;
    float depth = texture2D(tex_depth, tc).x;
    float eyeDistance = zNear * zFar / (zFar - depth * (zFar - zNear));
    float outside = abs(eyeDistance - focus_point) - max(focus_range, 0.0);
    float blur = clamp(outside / max(focus_falloff, 1e-4), 0.0, 1.0);
    vec4 sharp = texture2D(tex_sharp, tc);
    vec4 blurry = texture2D(tex_blurry, tc);
    gl_FragColor = gl_Color * mix(sharp, blurry, blur);
}
