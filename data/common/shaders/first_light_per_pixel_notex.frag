// Light 0 once a pixel over the light of lights 1 to 3 gathered once a
// vertex (first_light_per_pixel.vert), untextured.

varying vec3 ecPosition;
varying vec3 ecNormal;
varying vec3 otherLit;
varying vec3 otherShine;

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
    vec3 w = lightWeights(gl_LightSource[0], ecPosition, n, gl_FrontMaterial.shininess);
    vec3 lit = gl_FrontLightModelProduct.sceneColor.rgb + otherLit
        + gl_FrontLightProduct[0].ambient.rgb * w.z + gl_FrontLightProduct[0].diffuse.rgb * w.x;
    vec3 highlight = otherShine + gl_FrontLightProduct[0].specular.rgb * w.y;
    // Alpha is the material's, so translucent materials stay translucent.
    gl_FragColor = vec4(lit * tex.rgb + highlight, gl_FrontMaterial.diffuse.a * tex.a);
}
