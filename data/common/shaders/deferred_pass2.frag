// Deferred shading, lighting pass: lights the surface buffers of the geometry
// pass (albedo unit 0, packed normal unit 1, eye-space position unit 2) with
// the first four fixed-function lights, which are in eye space like the
// stored positions. Uncovered pixels (normal alpha 0) keep their albedo.
uniform sampler2D AlbedoMap;
uniform sampler2D NormalMap;
uniform sampler2D PositionMap;

void main()
{
    vec2 tc = gl_TexCoord[0].st;
    vec4 albedo = texture2D(AlbedoMap, tc);
    vec4 stored = texture2D(NormalMap, tc);
    if (stored.a < 0.5) {
        gl_FragColor = gl_Color * albedo;
        return;
    }
    vec3 n = normalize(stored.xyz * 2.0 - 1.0);
    vec3 p = texture2D(PositionMap, tc).xyz;
    vec3 light = gl_LightModel.ambient.rgb;
    vec3 highlight = vec3(0.0);
    for (int i = 0; i < 4; ++i) {
        vec3 l = gl_LightSource[i].position.xyz - p * gl_LightSource[i].position.w;
        float dist = length(l);
        l /= max(dist, 1e-6);
        float att = gl_LightSource[i].position.w == 0.0 ? 1.0
            : 1.0 / max(gl_LightSource[i].constantAttenuation
                        + gl_LightSource[i].linearAttenuation * dist
                        + gl_LightSource[i].quadraticAttenuation * dist * dist, 1e-6);
        float nl = max(dot(n, l), 0.0);
        vec3 h = normalize(l - normalize(p));
        float shine = nl > 0.0 ? pow(max(dot(n, h), 0.0), 32.0) : 0.0;
        light += att * (gl_LightSource[i].ambient.rgb + gl_LightSource[i].diffuse.rgb * nl);
        highlight += att * 0.3 * shine * gl_LightSource[i].specular.rgb;
    }
    gl_FragColor = gl_Color * vec4(albedo.rgb * light + highlight, albedo.a);
}
