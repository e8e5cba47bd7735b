// Metaballs: polished metal reflecting the Glacier2 sky, a little of its
// blue let through where the surface faces the viewer, brighter at grazing
// angles (Schlick's Fresnel term) and with a sharp highlight from above.
uniform samplerCube Env;
uniform vec3 camPos;

varying vec3 position;
varying vec3 normal;

void main()
{
    vec3 n = normalize(normal);
    vec3 view = normalize(position - camPos);
    // Seen from inside a blob (where two merge) the normal faces away.
    if (dot(n, view) > 0.0)
        n = -n;

    vec3 reflected = textureCube(Env, reflect(view, n)).rgb;
    vec3 refracted = textureCube(Env, refract(view, n, 0.9)).rgb;

    float cosine = clamp(-dot(n, view), 0.0, 1.0);
    float fresnel = 0.25 + 0.75 * pow(1.0 - cosine, 5.0);
    vec3 body = refracted * vec3(0.55, 0.75, 0.95);
    vec3 colour = mix(body, reflected, fresnel);

    vec3 sun = normalize(vec3(0.3, 0.9, 0.4));
    float highlight = pow(max(dot(reflect(view, n), sun), 0.0), 64.0);
    colour += vec3(highlight);

    gl_FragColor = vec4(colour, 1.0);
}
