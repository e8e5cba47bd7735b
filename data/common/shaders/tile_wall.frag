// The settled tiles of a panel as one quad (the tile scene's wall): the
// lighting of multi_specular_bump.frag, with the tile picture and normal map
// repeated once per tile and each tile's colour from the mosaic on unit 2,
// one texel per tile, whose alpha says whether the tile has arrived: the
// tiles still flying are left out here and drawn one by one.
uniform sampler2D Texture1;
uniform sampler2D NormalMap;
uniform sampler2D Mosaic;
uniform vec4 MosaicPlace;  // tile coordinates to mosaic coordinates: scale (xy), offset (zw)
uniform int Num_lights;

varying vec3 ecPosition;
varying vec3 ecNormal;
varying vec4 ecTangent;

// One fixed-function light at the eye-space point p with unit normal n, as the
// fixed pipeline weighs it: x = diffuse, y = specular, z = attenuation alone
// (for the ambient part). Points attenuate, directions (w = 0) do not. The
// engine's lights have no spot cones (nothing narrows GL_SPOT_CUTOFF from
// 180). No branches: a software renderer runs both sides of a branch for
// every pixel.
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
    vec4 tile = texture2D(Mosaic, gl_TexCoord[0].st * MosaicPlace.xy + MosaicPlace.zw);
    if (tile.a < 0.5) discard;
    vec3 n = normalize(ecNormal);
    vec3 t = normalize(ecTangent.xyz - n * dot(n, ecTangent.xyz));
    vec3 b = cross(n, t) * ecTangent.w;
    vec3 bumped = texture2D(NormalMap, gl_TexCoord[0].st).xyz * 2.0 - 1.0;
    n = normalize(t * bumped.x + b * bumped.y + n * bumped.z);
    vec4 tex = texture2D(Texture1, gl_TexCoord[0].st);
    // The tile's own colour, as the flying tiles have it per vertex.
    vec4 base = vec4(tile.rgb, 1.0) * tex;
    vec3 ks = max(gl_FrontMaterial.specular.rgb, vec3(0.25));
    float shininess = max(gl_FrontMaterial.shininess, 16.0);
    vec3 light = gl_LightModel.ambient.rgb;
    vec3 highlight = vec3(0.0);
    // Four at most, like the other multi entries: with a constant bound the
    // loop is unrolled, where a loop to eight ran one more, masked, pass of
    // its body after the last light on a software renderer.
    for (int i = 0; i < 4; ++i) {
        if (i >= Num_lights) break;
        vec3 w = lightWeights(gl_LightSource[i], ecPosition, n, shininess);
        light += gl_LightSource[i].ambient.rgb * w.z + gl_LightSource[i].diffuse.rgb * w.x;
        highlight += gl_LightSource[i].specular.rgb * ks * w.y;
    }
    vec3 color = base.rgb * light + highlight;
    gl_FragColor = vec4(color, base.a);
}
