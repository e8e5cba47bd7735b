// The full fixed-function material under the first four lights, light 0
// lit once a pixel and lights 1 to 3 once a vertex: for a scene whose light
// 0 is the one that makes the highlights the viewer sees (a light by the
// camera) while the others, farther off, change smoothly over a surface.
// The fragment programs (first_light_per_pixel*.frag) add light 0.

varying vec3 ecPosition;
varying vec3 ecNormal;
varying vec3 otherLit;    // lights 1 to 3: ambient and diffuse
varying vec3 otherShine;  // lights 1 to 3: specular

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
    ecPosition = ec.xyz;
    ecNormal = gl_NormalMatrix * gl_Normal;
    vec3 n = normalize(ecNormal);
    otherLit = vec3(0.0);
    otherShine = vec3(0.0);
    for (int i = 1; i < 4; ++i) {
        vec3 w = lightWeights(gl_LightSource[i], ec.xyz, n, gl_FrontMaterial.shininess);
        otherLit += gl_FrontLightProduct[i].ambient.rgb * w.z + gl_FrontLightProduct[i].diffuse.rgb * w.x;
        otherShine += gl_FrontLightProduct[i].specular.rgb * w.y;
    }
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_ClipVertex = ec;
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
