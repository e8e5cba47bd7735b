// The full fixed-function material under the first four lights, as
// multi_material_tex lights it, but once a vertex: for wide surfaces cut
// finely enough that their light changes smoothly from vertex to vertex
// (a backdrop), where lighting each pixel costs a software renderer much
// and shows nothing more. Unlike the fixed pipeline's, the sums are not
// clamped before the texture modulates them, so a brightly lit surface
// looks as it does lit per pixel.

varying vec3 litColour;  // emission, ambient and diffuse: modulated by the texture
varying vec3 highlight;  // specular: added after it

// One fixed-function light at the eye-space point p with unit normal n, as the
// fixed pipeline weighs it: x = diffuse, y = specular, z = attenuation alone
// (for the ambient part). Points attenuate, directions (w = 0) do not. The
// engine's lights have no spot cones (nothing narrows GL_SPOT_CUTOFF from
// 180).
vec3 lightWeights(gl_LightSourceParameters light, vec3 p, vec3 n, float shininess)
{
    vec3 d = light.position.xyz - p * light.position.w;
    float dist = length(d);
    vec3 l = d / max(dist, 1e-6);
    float att = light.position.w == 0.0 ? 1.0
        : 1.0 / max(light.constantAttenuation + light.linearAttenuation * dist
                    + light.quadraticAttenuation * dist * dist, 1e-6);
    float nl = max(dot(n, l), 0.0);
    vec3 h = normalize(l - normalize(p));
    float shine = nl > 0.0 ? pow(max(dot(n, h), 0.0), max(shininess, 1.0)) : 0.0;
    return vec3(nl, shine, 1.0) * att;
}

void main()
{
    vec4 ec = gl_ModelViewMatrix * gl_Vertex;
    vec3 n = normalize(gl_NormalMatrix * gl_Normal);
    vec3 lit = gl_FrontLightModelProduct.sceneColor.rgb;
    vec3 shine = vec3(0.0);
    for (int i = 0; i < 4; ++i) {
        vec3 w = lightWeights(gl_LightSource[i], ec.xyz, n, gl_FrontMaterial.shininess);
        lit += gl_FrontLightProduct[i].ambient.rgb * w.z + gl_FrontLightProduct[i].diffuse.rgb * w.x;
        shine += gl_FrontLightProduct[i].specular.rgb * w.y;
    }
    litColour = lit;
    highlight = shine;
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_ClipVertex = ec;
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
