// The full fixed-function material (emission, ambient, diffuse, specular)
// under the first four lights, untextured.

varying vec3 ecPosition;
varying vec3 ecNormal;

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
    vec3 n = normalize(ecNormal);
    vec4 tex = vec4(1.0);
    vec4 lit = gl_FrontLightModelProduct.sceneColor;
    vec3 highlight = vec3(0.0);
    for (int i = 0; i < 4; ++i) {
        vec3 w = lightWeights(gl_LightSource[i], ecPosition, n, gl_FrontMaterial.shininess);
        lit.rgb += gl_FrontLightProduct[i].ambient.rgb * w.z + gl_FrontLightProduct[i].diffuse.rgb * w.x;
        highlight += gl_FrontLightProduct[i].specular.rgb * w.y;
    }
    // Alpha is the material's, so translucent materials stay translucent.
    gl_FragColor = vec4(lit.rgb * tex.rgb + highlight, gl_FrontMaterial.diffuse.a * tex.a);
}
